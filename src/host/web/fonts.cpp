// The page's fonts: the embedded DejaVu files, in the page's file system.
#include <string>

#include "font/module/font_match.h"

namespace tessel {

bool findFontFile(std::string_view face, int weight, FontFile& out) {
    out.path = std::string("/fonts/") + embeddedFontName(face, weight);
    out.index = 0;
    out.embolden = false;
    return true;
}

}  // namespace tessel
