// Positions between a script's Windows-1252 bytes and an editor's lines and
// UTF-16 columns. The editor sends its text as UTF-8; it becomes the bytes
// the engine reads as --utf8 reads a script (characters Windows-1252 cannot
// hold become '?', one byte each), and this map keeps where every byte
// stands in the editor's counting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// 0-based line and UTF-16 column, as the Language Server Protocol counts.
struct EditorPosition {
    int32_t line = 0;
    int32_t character = 0;
    bool operator==(const EditorPosition&) const = default;
};

class PositionMap {
   public:
    PositionMap() = default;
    // The map of `bytes`, where every offset in `extraUnits` (sorted) adds
    // one UTF-16 unit to the columns of its byte and the bytes after it on
    // its line (utf8SourceToWindows1252 lists them).
    PositionMap(std::string_view bytes, std::vector<uint32_t> extraUnits);

    // Where byte `offset` stands (the source's size: the end).
    EditorPosition toEditor(uint32_t offset) const;
    // The byte at an editor position; a column past its line's end is the
    // line's end (before "\r\n" or "\n"), a line past the last is the end.
    uint32_t toOffset(EditorPosition p) const;

    int32_t lineCount() const { return static_cast<int32_t>(lineStarts_.size()); }
    uint32_t lineStart(int32_t line) const { return lineStarts_[static_cast<size_t>(line)]; }
    // Offset of the line's end: its "\r\n" or "\n", or the source's end.
    uint32_t lineEnd(int32_t line) const { return lineEnds_[static_cast<size_t>(line)]; }

   private:
    // Extra units counted in [from, to].
    int32_t extrasIn(uint32_t from, uint32_t to) const;

    uint32_t size_ = 0;
    std::vector<uint32_t> lineStarts_{0};
    std::vector<uint32_t> lineEnds_;
    std::vector<uint32_t> extraUnits_;
};

// An editor's UTF-8 text as the engine's bytes with the map of their places.
struct EditorText {
    std::string bytes;
    PositionMap map;
};
void readEditorText(std::string_view utf8, EditorText& out);

}  // namespace tessel
