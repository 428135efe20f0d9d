// Lines and columns of a source text, for pointing at a place in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

class SourceMap {
   public:
    explicit SourceMap(std::string_view source);

    // 1-based line of the byte at `offset`.
    int lineOf(size_t offset) const;
    // 1-based column (bytes) of the byte at `offset` within its line.
    int columnOf(size_t offset) const;
    // Offset of the first byte of 1-based `line` (the source's end past the last).
    size_t lineStart(int line) const;
    // The 1-based line `line` without its line end (empty past the last line).
    std::string_view lineText(int line) const;

    // The place at `offset` as the terminal shows it: the line, converted to
    // UTF-8, indented, and a caret under the column.
    std::string excerpt(size_t offset) const;

   private:
    std::string_view src_;
    std::vector<uint32_t> starts_;  // offset of each line's first byte; [0] is line 1 (sources stay below 4 GiB)
};

}  // namespace tessel
