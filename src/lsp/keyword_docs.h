// The language reference's word on each keyword and message name: its form
// and a one-paragraph description (Markdown), generated at build time from
// the reference's tables (scripts/keyword-docs.cmake), so hover, completion
// and the reference never tell different stories.
#pragma once

#include <span>
#include <string_view>

namespace tessel {

struct KeywordDoc {
    std::string_view word;         // upper case: PSET, WMTIMER
    std::string_view form;         // PSET x, y
    std::string_view description;  // Markdown
};

// The entry for `word` (any case), or nullptr when the reference has none.
const KeywordDoc* keywordDoc(std::string_view word);
// Every entry, in the reference's order.
std::span<const KeywordDoc> keywordDocs();

}  // namespace tessel
