#include "checker/keywords.h"

#include <array>
#include <unordered_map>

namespace tessel {

namespace {

// Keyword lookup by spelling and by code, built once from the keyword list.
struct KeywordIndex {
    std::unordered_map<std::string_view, int32_t> bySpelling;
    std::array<const KeywordInfo*, kStatementCodeLimit> byCode{};

    KeywordIndex() {
        for (const KeywordInfo& k : kKeywords) {
            bySpelling.emplace(k.spelling, k.code);
            byCode[k.code] = &k;
        }
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

int32_t keywordCode(std::string_view upper) {
    const auto& m = keywordIndex().bySpelling;
    auto it = m.find(upper);
    return it == m.end() ? 0 : it->second;
}

BlockCounter keywordCounter(int32_t code) {
    const KeywordInfo* k = infoFor(code);
    return k ? k->counter : BC_NONE;
}

std::optional<KeywordRole> keywordRole(int32_t code) {
    const KeywordInfo* k = infoFor(code);
    if (!k) return std::nullopt;
    return k->role;
}

}  // namespace tessel
