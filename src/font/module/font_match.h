// Turning a face name into a font file, through fontconfig.
#pragma once

#include <string>
#include <string_view>

namespace tessel {

// The face that stands in for the default "Consolas" when it is not installed.
inline constexpr const char* kStandInFace = "DejaVu Sans Mono";

struct FontFile {
    std::string path;       // font file
    int index = 0;          // face within the file
    bool embolden = false;  // the weight asked for needs synthetic bold
};

// Finds the file for `face` at `weight` (0: normal, 700: bold). An installed
// face is used as it is; "Consolas" falls back to the stand-in; any other
// missing face gets fontconfig's closest match. False when fontconfig finds
// no scalable font at all.
bool findFontFile(std::string_view face, int weight, FontFile& out);

}  // namespace tessel
