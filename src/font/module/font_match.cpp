#include "font/module/font_match.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "font/font.h"

namespace tessel {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// True when one of the matched pattern's family names is `family`.
bool hasFamily(FcPattern* match, std::string_view family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (sameName(reinterpret_cast<const char*>(name), family)) return true;
    return false;
}

// Fontconfig's best scalable match for a family and weight (null when none);
// the caller destroys it.
FcPattern* bestMatch(const std::string& family, int weight) {
    FcPattern* want = FcPatternCreate();
    if (!want) return nullptr;
    FcPatternAddString(want, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    int openType = weight <= 0 ? 400 : std::min(weight, 1000);
    FcPatternAddDouble(want, FC_WEIGHT, FcWeightFromOpenTypeDouble(openType));
    FcPatternAddBool(want, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, want, FcMatchPattern);
    FcDefaultSubstitute(want);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, want, &result);
    FcPatternDestroy(want);
    return match;
}

bool readFile(FcPattern* match, FontFile& out) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) return false;
    out.path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &out.index) != FcResultMatch) out.index = 0;
    FcBool embolden = FcFalse;
    FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
    out.embolden = embolden == FcTrue;
    return true;
}

}  // namespace

bool findFontFile(std::string_view face, int weight, FontFile& out) {
    std::string family(face.empty() ? kStandInFace : face);
    // Names are C strings to fontconfig: cut at an embedded zero byte.
    family.erase(std::min(family.find('\0'), family.size()));
    FcPattern* match = bestMatch(family, weight);
    if (match && !hasFamily(match, family) && sameName(family, kDefaultFontFace)) {
        FcPattern* standIn = bestMatch(kStandInFace, weight);
        if (standIn && hasFamily(standIn, kStandInFace)) {
            FcPatternDestroy(match);
            match = standIn;
        } else if (standIn) {
            FcPatternDestroy(standIn);
        }
    }
    if (!match) return false;
    bool found = readFile(match, out);
    FcPatternDestroy(match);
    return found;
}

}  // namespace tessel
