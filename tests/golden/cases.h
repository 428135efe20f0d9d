// The golden cases: .tsl scripts under folders, and the `tessel` code blocks
// of Markdown files, with the helpers that read them. Shared by the golden
// runner and the differential test, which runs the same cases through the
// executor and the token walker.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tessel::golden {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const fs::path& p, const std::string& data) {
    std::ofstream out(p, std::ios::binary);
    out << data;
}

// Splits at line feeds, carriage return + line feed pairs and lone carriage
// returns (a file whose lines end in CR alone still has its comments found).
inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n' || c == '\r') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

inline std::vector<std::string> splitWords(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

// The comment of a source line: what follows the first apostrophe outside a
// string literal, or nothing.
inline std::optional<std::string> commentOf(const std::string& line) {
    bool inString = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') inString = !inString;
        else if (line[i] == '\'' && !inString) return line.substr(i + 1);
    }
    return std::nullopt;
}

inline bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

inline std::string skipBlanks(const std::string& s) {
    size_t i = s.find_first_not_of(" \t");
    return i == std::string::npos ? std::string() : s.substr(i);
}

struct Case {
    std::string suite, name;
    fs::path file;          // where the expectations are written (script or Markdown)
    int firstLine = 1;      // the file line of the script's first line
    std::string source;     // the script's bytes
    fs::path dir;           // the folder the case runs in
    bool extracted = false; // a Markdown block: the script is written out before the run
    bool runs = true;       // false for a block fenced `tessel no-test` and the like: linted, not run
};

// A script is named after its folder and its stem: scripts/exec/swap.tsl is
// exec.swap.
inline void addScriptCase(const fs::path& s, std::vector<Case>& cases) {
    Case c;
    c.suite = s.parent_path().filename().string();
    c.name = s.stem().string();
    c.file = s;
    c.source = readFile(s);
    c.dir = s.parent_path();
    cases.push_back(c);
}

inline void addScriptCases(const fs::path& root, std::vector<Case>& cases) {
    std::vector<fs::path> scripts;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().extension() == ".tsl") scripts.push_back(e.path());
    std::sort(scripts.begin(), scripts.end());
    for (const fs::path& s : scripts) addScriptCase(s, cases);
}

// A fence line: up to three blanks, then three or more backquotes or tildes.
inline bool fenceOf(const std::string& line, char& ch, size_t& len, std::string& info) {
    size_t i = line.find_first_not_of(' ');
    if (i == std::string::npos || i > 3 || (line[i] != '`' && line[i] != '~')) return false;
    ch = line[i];
    size_t j = line.find_first_not_of(ch, i);
    len = (j == std::string::npos ? line.size() : j) - i;
    if (len < 3) return false;
    info = j == std::string::npos ? "" : line.substr(j);
    size_t a = info.find_first_not_of(" \t"), b = info.find_last_not_of(" \t");
    info = a == std::string::npos ? "" : info.substr(a, b - a + 1);
    return true;
}

inline void addMarkdownCases(const fs::path& md, std::vector<Case>& cases) {
    std::vector<std::string> lines = splitLines(readFile(md));
    int number = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        char ch;
        size_t len;
        std::string info;
        if (!fenceOf(lines[i], ch, len, info)) continue;
        Case c;
        c.firstLine = static_cast<int>(i) + 2;
        size_t end = i + 1;
        for (; end < lines.size(); ++end) {
            char ch2;
            size_t len2;
            std::string info2;
            if (fenceOf(lines[end], ch2, len2, info2) && ch2 == ch && len2 >= len && info2.empty())
                break;
            c.source += lines[end] + "\n";
        }
        bool tessel = info == "tessel" || startsWith(info, "tessel ");
        i = end;
        if (!tessel) continue;
        ++number;
        c.runs = info == "tessel";  // not "tessel no-test" and the like
        c.suite = md.stem().string();
        c.name = "block" + std::to_string(number);
        c.file = md;
        c.dir = md.parent_path();
        c.extracted = true;
        cases.push_back(c);
    }
}

inline std::vector<Case> collectCases(const std::vector<fs::path>& roots) {
    std::vector<Case> cases;
    for (const fs::path& root : roots) {
        if (fs::is_directory(root)) addScriptCases(root, cases);
        else if (root.extension() == ".md") addMarkdownCases(root, cases);
        else if (root.extension() == ".tsl") addScriptCase(root, cases);
        else std::fprintf(stderr, "tessel_golden: %s is no folder or Markdown file\n", root.c_str());
    }
    return cases;
}

}  // namespace tessel::golden
