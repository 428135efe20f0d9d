#include "checker/keywords.h"

#include <array>

namespace tessel {

namespace {

// Longest keyword spelling: a longer name is no keyword.
constexpr size_t kLongestKeyword = 8;

char upperByte(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// A slot of the spelling table for an upper-cased spelling.
size_t spellingSlot(std::string_view upper, size_t mask) {
    uint32_t h = static_cast<uint32_t>(upper.size());
    for (char c : upper) h = h * 31u + static_cast<unsigned char>(c);
    return (h ^ (h >> 7)) & mask;
}

// Keyword lookup by spelling and by code, built once from the keyword list.
// Every name of a script is looked up, so the spelling table is a small open
// addressing table probed without building any string.
struct KeywordIndex {
    static constexpr size_t kSlots = 256;
    std::array<const KeywordInfo*, kSlots> bySpelling{};
    std::array<const KeywordInfo*, kStatementCodeLimit> byCode{};

    KeywordIndex() {
        for (const KeywordInfo& k : kKeywords) {
            size_t at = spellingSlot(k.spelling, kSlots - 1);
            while (bySpelling[at]) at = (at + 1) & (kSlots - 1);
            bySpelling[at] = &k;
            byCode[k.code] = &k;
        }
    }

    int32_t find(std::string_view upper) const {
        for (size_t at = spellingSlot(upper, kSlots - 1); bySpelling[at];
             at = (at + 1) & (kSlots - 1))
            if (bySpelling[at]->spelling == upper) return bySpelling[at]->code;
        return 0;
    }
};

const KeywordIndex& keywordIndex() {
    static const KeywordIndex index;
    return index;
}

const KeywordInfo* infoFor(int32_t code) {
    if (code < 0 || code >= kStatementCodeLimit) return nullptr;
    return keywordIndex().byCode[code];
}

}  // namespace

static_assert([] {
    for (const KeywordInfo& k : kKeywords)
        if (k.spelling.size() > kLongestKeyword) return false;
    return true;
}());

int32_t keywordCode(std::string_view upper) {
    if (upper.size() > kLongestKeyword) return 0;
    return keywordIndex().find(upper);
}

int32_t keywordCodeAnyCase(std::string_view name) {
    // Most names of a script are no keyword: a keyword of this length must
    // begin with this letter, or the name is none.
    static const std::array<uint32_t, kLongestKeyword + 1> firstLetters = [] {
        std::array<uint32_t, kLongestKeyword + 1> bits{};
        for (const KeywordInfo& k : kKeywords) bits[k.spelling.size()] |= 1u << (k.spelling[0] - 'A');
        return bits;
    }();
    if (name.empty() || name.size() > kLongestKeyword) return 0;
    const char first = upperByte(name[0]);
    if (first < 'A' || first > 'Z' || !(firstLetters[name.size()] & (1u << (first - 'A')))) return 0;
    char upper[kLongestKeyword];
    for (size_t k = 0; k < name.size(); ++k) upper[k] = upperByte(name[k]);
    return keywordIndex().find(std::string_view(upper, name.size()));
}

BlockCounter keywordCounter(int32_t code) {
    const KeywordInfo* k = infoFor(code);
    return k ? k->counter : BC_NONE;
}

std::string_view keywordText(int32_t code) {
    const KeywordInfo* k = infoFor(code);
    return k ? k->spelling : std::string_view();
}

std::optional<KeywordRole> keywordRole(int32_t code) {
    const KeywordInfo* k = infoFor(code);
    if (!k) return std::nullopt;
    return k->role;
}

}  // namespace tessel
