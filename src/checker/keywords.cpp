#include "checker/keywords.h"

namespace tessel {

int32_t keywordCode(std::string_view upper) {
    for (const KeywordInfo& k : kKeywords)
        if (k.spelling == upper) return k.code;
    return 0;
}

std::string_view keywordSpelling(int32_t code) {
    for (const KeywordInfo& k : kKeywords)
        if (k.code == code) return k.spelling;
    return {};
}

bool isKeywordCode(int32_t code) { return !keywordSpelling(code).empty(); }

}  // namespace tessel
