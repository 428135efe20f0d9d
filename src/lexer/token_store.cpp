// Reading a token's text and place back from the source it was cut from.
#include "lexer/token_store.h"

#include <algorithm>
#include <cstring>

namespace tessel {

namespace {

bool isLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

void TokenStore::reset(std::string source) {
    source_ = std::move(source);
    start_.assign(1, 0);
    cls_.assign(1, CLS_NONE);
    eols_.clear();
    count = 0;
    eolCount = 0;
}

void TokenStore::reserve(size_t n) {
    start_.reserve(n + 1);
    cls_.reserve(n + 1);
}

// The tokenizer's rules, read again from a token's first byte: the byte says
// which rule cut the token, whatever class the checker has given it since.
uint32_t TokenStore::extentAt(uint32_t offset) const {
    const size_t size = source_.size();
    if (offset >= size) return 0;
    const unsigned char c = static_cast<unsigned char>(source_[offset]);
    size_t end = offset + 1;
    if (c == '\'') {  // a comment's line end: up to and with the line feed
        const void* lf = std::memchr(source_.data() + offset, '\n', size - offset);
        end = lf ? static_cast<size_t>(static_cast<const char*>(lf) - source_.data()) + 1 : size;
    } else if (c == '"') {  // a string literal with both quotes
        while (end < size && source_[end] != '"') ++end;
        end = std::min(end + 1, size);
    } else if (isLetter(c)) {
        while (end < size && (isLetter(static_cast<unsigned char>(source_[end])) ||
                              isDigit(static_cast<unsigned char>(source_[end]))))
            ++end;
    } else if (isDigit(c)) {
        while (end < size &&
               (isDigit(static_cast<unsigned char>(source_[end])) || source_[end] == '.'))
            ++end;
    }
    return static_cast<uint32_t>(end - offset);
}

std::string_view TokenStore::slowTextOf(uint32_t offset) const {
    const char first = source_[offset];
    if (first == '\n' || first == '\'') return "EOL";
    const std::string_view all(source_);
    const uint32_t length = extentAt(offset);
    if (first == '"') return all.substr(offset + 1, length >= 2 ? length - 2 : 0);
    return all.substr(offset, length);
}

int32_t TokenStore::lineAt(int64_t i) const {
    if (i < 1) return 1;
    // Line ends stored before token i (those at indices below i).
    auto before = std::lower_bound(eols_.begin(), eols_.end(),
                                   static_cast<int32_t>(std::min<int64_t>(i, INT32_MAX)));
    return static_cast<int32_t>(before - eols_.begin()) + 1;
}

uint32_t TokenStore::lineStart(int32_t line) const {
    if (line <= 1) return 0;
    if (static_cast<size_t>(line - 1) > eols_.size()) return static_cast<uint32_t>(source_.size());
    const uint32_t eol = start_[static_cast<size_t>(eols_[static_cast<size_t>(line - 2)])];
    return std::min<uint32_t>(eol + extentAt(eol), static_cast<uint32_t>(source_.size()));
}

TokenPlace TokenStore::placeAt(int64_t i) const {
    TokenPlace p;
    p.offset = offsetAt(i);
    p.line = valid(i) ? lineAt(i) : eolCount + 1;
    p.column = static_cast<int32_t>(p.offset - std::min(p.offset, lineStart(p.line))) + 1;
    p.length = valid(i) ? extentAt(p.offset) : 0;
    return p;
}

std::string_view TokenStore::spelling(int64_t a, int64_t b) const {
    if (b < a || !valid(a) || !valid(b)) return {};
    const uint32_t start = offsetAt(a);
    const uint32_t end = offsetAt(b) + extentAt(offsetAt(b));
    return std::string_view(source_).substr(start, end - start);
}

SourcePlace TokenStore::placeAtOffset(uint32_t offset) const {
    SourcePlace p;
    p.offset = std::min<uint32_t>(offset, static_cast<uint32_t>(source_.size()));
    // The last token that starts at or before the offset holds it, or the
    // blanks after it; past a line end's extent the offset is on the next line.
    auto after = std::upper_bound(start_.begin() + 1, start_.end(), p.offset);
    const size_t token = static_cast<size_t>(after - start_.begin()) - 1;
    p.line = 1;
    if (token >= 1) {
        p.line = lineAt(static_cast<int64_t>(token));
        const uint32_t start = start_[token];
        if (cls_[token] == CLS_EOL && p.offset >= start + extentAt(start)) ++p.line;
    }
    p.column = static_cast<int32_t>(p.offset - std::min(p.offset, lineStart(p.line))) + 1;
    p.length = p.offset < source_.size() ? 1 : 0;
    return p;
}

}  // namespace tessel
