#include "lint/source_map.h"

#include <algorithm>

#include "base/cp1252.h"

namespace tessel {

SourceMap::SourceMap(std::string_view source) : src_(source), starts_{0} {
    for (size_t i = 0; i < source.size(); ++i)
        if (source[i] == '\n') starts_.push_back(static_cast<uint32_t>(i + 1));
}

int SourceMap::lineOf(size_t offset) const {
    auto it = std::upper_bound(starts_.begin(), starts_.end(), offset,
                               [](size_t o, uint32_t start) { return o < start; });
    return static_cast<int>(it - starts_.begin());
}

int SourceMap::columnOf(size_t offset) const {
    return static_cast<int>(offset - lineStart(lineOf(offset))) + 1;
}

size_t SourceMap::lineStart(int line) const {
    if (line < 1) return 0;
    return static_cast<size_t>(line) <= starts_.size() ? starts_[line - 1] : src_.size();
}

std::string_view SourceMap::lineText(int line) const {
    size_t start = lineStart(line);
    if (start >= src_.size()) return {};
    size_t end = src_.find('\n', start);
    std::string_view s =
        src_.substr(start, end == std::string_view::npos ? src_.npos : end - start);
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s;
}

std::string SourceMap::excerpt(size_t offset) const {
    int line = lineOf(offset);
    std::string_view text = lineText(line);
    size_t col = std::min(offset - lineStart(line), text.size());
    // The caret keeps the line's tabs so it stands under the same character
    // whatever the terminal's tab width; one blank per other character.
    std::string caret;
    for (unsigned char c : text.substr(0, col)) caret += c == '\t' ? '\t' : ' ';
    return "    " + windows1252ToUtf8(text) + "\n    " + caret + "^\n";
}

}  // namespace tessel
