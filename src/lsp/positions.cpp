#include "lsp/positions.h"

#include <algorithm>

#include "base/cp1252.h"

namespace tessel {

PositionMap::PositionMap(std::string_view bytes, std::vector<uint32_t> extraUnits)
    : size_(static_cast<uint32_t>(bytes.size())), extraUnits_(std::move(extraUnits)) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n') continue;
        const bool crlf = i > lineStarts_.back() && bytes[i - 1] == '\r';
        lineEnds_.push_back(static_cast<uint32_t>(crlf ? i - 1 : i));
        lineStarts_.push_back(static_cast<uint32_t>(i + 1));
    }
    lineEnds_.push_back(size_);
}

int32_t PositionMap::extrasIn(uint32_t from, uint32_t to) const {
    if (extraUnits_.empty()) return 0;
    auto lo = std::lower_bound(extraUnits_.begin(), extraUnits_.end(), from);
    auto hi = std::upper_bound(lo, extraUnits_.end(), to);
    return static_cast<int32_t>(hi - lo);
}

EditorPosition PositionMap::toEditor(uint32_t offset) const {
    offset = std::min(offset, size_);
    auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const int32_t line = static_cast<int32_t>(it - lineStarts_.begin()) - 1;
    const uint32_t start = lineStarts_[static_cast<size_t>(line)];
    return {line, static_cast<int32_t>(offset - start) + extrasIn(start, offset)};
}

uint32_t PositionMap::toOffset(EditorPosition p) const {
    if (p.line < 0) return 0;
    if (p.line >= lineCount()) return size_;
    const uint32_t start = lineStart(p.line), end = lineEnd(p.line);
    int64_t offset = int64_t{start} + std::max(p.character, 0);
    // Each extra unit at or before the byte reached so far moves it back one.
    auto e = std::lower_bound(extraUnits_.begin(), extraUnits_.end(), start);
    for (; e != extraUnits_.end() && int64_t{*e} <= offset; ++e) --offset;
    return static_cast<uint32_t>(std::clamp<int64_t>(offset, start, end));
}

void readEditorText(std::string_view utf8, EditorText& out) {
    std::vector<uint32_t> extra;
    out.bytes = utf8SourceToWindows1252(utf8, &extra);
    out.map = PositionMap(out.bytes, std::move(extra));
}

}  // namespace tessel
