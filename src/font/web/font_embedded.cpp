// Fonts of the editions that carry their font files along (the web page;
// the Windows program, for faces the system lacks): FreeType is linked in
// (no module to load), and face names map through a small table to the
// embedded DejaVu files, the same files the Linux font lookup settles on for
// those names. Built instead of font_match.cpp and font_open.cpp there; each
// edition's findFontFile says where its embedded files are.
#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>

#include "font/font.h"
#include "font/module/font_match.h"
#include "font/font_module.h"

namespace tessel {

namespace {

enum class Family { Sans, Mono, Serif };

struct FamilyName {
    std::string_view name;  // lower case
    Family family;
};

// Names the desktop lookup answers with the monospaced or the serif face;
// every other name gets the sans face, as it does there.
constexpr std::array kFamilies{
    FamilyName{"consolas", Family::Mono},         FamilyName{"dejavu sans mono", Family::Mono},
    FamilyName{"monospace", Family::Mono},        FamilyName{"courier new", Family::Mono},
    FamilyName{"courier", Family::Mono},          FamilyName{"lucida console", Family::Mono},
    FamilyName{"mono", Family::Mono},             FamilyName{"dejavu serif", Family::Serif},
    FamilyName{"serif", Family::Serif},           FamilyName{"times new roman", Family::Serif},
    FamilyName{"times", Family::Serif},           FamilyName{"georgia", Family::Serif},
};

std::string lowerCase(std::string_view s) {
    std::string out(s.substr(0, std::min(s.find('\0'), s.size())));
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

Family familyOf(std::string_view face) {
    std::string name = lowerCase(face);
    for (const FamilyName& f : kFamilies)
        if (f.name == name) return f.family;
    return Family::Sans;
}

// The desktop lookup takes the bold file from about half-way between the
// normal (400) and bold (700) weights on.
bool wantsBold(int weight) { return weight > 550; }

const char* fileOf(Family family, bool bold) {
    switch (family) {
        case Family::Mono: return bold ? "DejaVuSansMono-Bold.ttf" : "DejaVuSansMono.ttf";
        case Family::Serif: return bold ? "DejaVuSerif-Bold.ttf" : "DejaVuSerif.ttf";
        case Family::Sans: break;
    }
    return bold ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf";
}

}  // namespace

const char* embeddedFontName(std::string_view face, int weight) {
    // No name at all means the stand-in for the default face.
    Family family = face.empty() ? Family::Mono : familyOf(face);
    return fileOf(family, wantsBold(weight));
}

std::unique_ptr<Font> Font::open(std::string_view face, int height, int width, int weight) {
    return openFreeTypeFont(face, height, width, weight);
}

}  // namespace tessel
