// Turning a face name into a font file, through fontconfig.
#pragma once

#include <string>
#include <string_view>

namespace tessel {

// The face that stands in for the default "Consolas" when it is not installed.
inline constexpr const char* kStandInFace = "DejaVu Sans Mono";

struct FontFile {
    std::string path;       // font file
    std::string_view data;  // or, when not empty, the whole font file in memory
    int index = 0;          // face within the file
    bool embolden = false;  // the weight asked for needs synthetic bold
};

// Finds the file for `face` at `weight` (0: normal, 700: bold). An installed
// face is used as it is; "Consolas" falls back to the stand-in; any other
// missing face gets fontconfig's closest match. False when fontconfig finds
// no scalable font at all.
bool findFontFile(std::string_view face, int weight, FontFile& out);

// Where the fonts are carried along (the page, Windows): the file name of the
// embedded DejaVu font ("DejaVuSansMono.ttf", ...) that stands in for `face`
// at `weight`.
const char* embeddedFontName(std::string_view face, int weight);

}  // namespace tessel
