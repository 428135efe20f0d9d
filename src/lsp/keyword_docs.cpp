#include "lsp/keyword_docs.h"

#include "checker/name_index.h"

namespace tessel {

namespace {

constexpr KeywordDoc kDocs[] = {
#include "keyword_docs.inc"
};

}  // namespace

const KeywordDoc* keywordDoc(std::string_view word) {
    for (const KeywordDoc& d : kDocs)
        if (equalFolded(d.word, word)) return &d;
    return nullptr;
}

std::span<const KeywordDoc> keywordDocs() {
    return kDocs;
}

}  // namespace tessel
