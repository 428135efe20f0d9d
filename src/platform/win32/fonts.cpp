// Fonts on Windows: a face name is looked up among the installed fonts (the
// registry's list of them, the machine's and the user's); a face that is not
// installed gets the DejaVu font tessel.exe carries for it, as the page does,
// so the default face and SETFONT draw as on Linux wherever the system lacks
// the face.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "font/module/font_match.h"

namespace tessel {

namespace {

constexpr wchar_t kFontsKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// A script's face name is Windows-1252.
std::wstring wide(std::string_view cp1252) {
    std::string name(cp1252.substr(0, std::min(cp1252.find('\0'), cp1252.size())));
    if (name.empty()) return L"";
    int n = MultiByteToWideChar(1252, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(1252, 0, name.data(), static_cast<int>(name.size()), out.data(), n);
    return out;
}

// FreeType opens files with the C runtime's fopen, which takes names in the
// system's ANSI code page; a name that has no spelling there gets its short
// (8.3) form, which is plain ASCII.
std::string ansiPath(const std::wstring& w) {
    std::wstring path = w;
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (lossy) {
        wchar_t shortPath[MAX_PATH];
        DWORD len = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
        if (len > 0 && len < MAX_PATH) path.assign(shortPath, len);
        n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    }
    if (n <= 1) return "";
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.pop_back();  // the terminating zero
    return out;
}

bool sameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// The faces one registry entry names, "Cambria & Cambria Math (TrueType)"
// giving "Cambria" and "Cambria Math" (a collection's faces, in order).
std::vector<std::wstring_view> facesOf(std::wstring_view entry) {
    if (size_t paren = entry.rfind(L" ("); paren != entry.npos) entry = entry.substr(0, paren);
    std::vector<std::wstring_view> faces;
    for (;;) {
        size_t amp = entry.find(L" & ");
        faces.push_back(entry.substr(0, amp));
        if (amp == entry.npos) return faces;
        entry.remove_prefix(amp + 3);
    }
}

// True for the files FreeType is built here to read: TrueType and OpenType
// outlines, alone or in a collection (not the old bitmap .fon fonts).
bool outlineFile(std::wstring_view file) {
    if (file.size() < 4) return false;
    std::wstring_view ext = file.substr(file.size() - 4);
    return sameName(ext, L".ttf") || sameName(ext, L".ttc") || sameName(ext, L".otf");
}

// The file of the installed face `wanted` ("Consolas", "Consolas Bold") in
// one of the registry's font lists, with its index in a collection.
bool findInKey(HKEY root, const std::wstring& wanted, std::wstring& file, int& index) {
    HKEY key;
    if (RegOpenKeyExW(root, kFontsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool found = false;
    wchar_t name[512];
    wchar_t value[MAX_PATH];
    for (DWORD i = 0; !found; ++i) {
        DWORD nameLen = 512, valueBytes = sizeof value - sizeof(wchar_t), type = 0;
        LONG r = RegEnumValueW(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(value), &valueBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        value[valueBytes / sizeof(wchar_t)] = L'\0';
        if (!outlineFile(value)) continue;
        std::vector<std::wstring_view> faces = facesOf(std::wstring_view(name, nameLen));
        for (size_t f = 0; f < faces.size() && !found; ++f) {
            if (!sameName(faces[f], wanted)) continue;
            file = value;
            index = static_cast<int>(f);
            found = true;
        }
    }
    RegCloseKey(key);
    return found;
}

// A file name without a folder is in the Windows fonts folder.
std::wstring fullPath(const std::wstring& file) {
    if (file.find(L'\\') != file.npos || file.find(L'/') != file.npos) return file;
    wchar_t dir[MAX_PATH];
    UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return file;
    return std::wstring(dir, n) + L"\\Fonts\\" + file;
}

bool findInstalled(const std::wstring& face, std::wstring& file, int& index) {
    return findInKey(HKEY_CURRENT_USER, face, file, index) || findInKey(HKEY_LOCAL_MACHINE, face, file, index);
}

// The embedded font of that file name, from tessel.exe's resources (named
// as the file, with '_' for '.' and '-').
std::string_view embeddedFont(const char* fileName) {
    std::string name(fileName);
    for (char& c : name)
        if (c == '.' || c == '-') c = '_';
    HRSRC res = FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = res ? LoadResource(nullptr, res) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return {static_cast<const char*>(bytes), SizeofResource(nullptr, res)};
}

}  // namespace

bool findFontFile(std::string_view face, int weight, FontFile& out) {
    const bool bold = weight > 550;
    std::wstring name = wide(face.empty() ? kStandInFace : face);
    std::wstring file;
    int index = 0;
    out.data = {};
    out.embolden = false;
    if (bold && findInstalled(name + L" Bold", file, index)) {
        // The face's own bold file.
    } else if (findInstalled(name, file, index) || findInstalled(name + L" Regular", file, index)) {
        out.embolden = bold;  // no bold file: FreeType makes the strokes bolder
    } else {
        out.data = embeddedFont(embeddedFontName(face, weight));
        out.path.clear();
        out.index = 0;
        return !out.data.empty();
    }
    out.path = ansiPath(fullPath(file));
    out.index = index;
    return true;
}

}  // namespace tessel
