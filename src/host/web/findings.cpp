#include "host/web/findings.h"

#include <cctype>
#include <cstdlib>

namespace tessel {

namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end == text.npos ? text.size() : end + 1);
    }
    return lines;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Reads the decimal number at the start of `s` and the colon after it.
bool takeNumber(std::string_view& s, int& out) {
    size_t n = 0;
    while (n < s.size() && std::isdigit(static_cast<unsigned char>(s[n]))) ++n;
    if (n == 0 || n > 9 || n >= s.size() || s[n] != ':') return false;
    out = std::atoi(std::string(s.substr(0, n)).c_str());
    s.remove_prefix(n + 1);
    return true;
}

bool isWordByte(unsigned char c) { return std::isalnum(c) || c == '_' || c == '.' || c >= 0x80; }

// The column past the token that starts at 1-based `column` of `line`: a
// string literal to its closing quote, a word or number to its end, anything
// else one byte.
int tokenEnd(std::string_view source, int line, int column) {
    size_t start = 0;
    for (int l = 1; l < line && start != source.npos; ++l) {
        start = source.find('\n', start);
        if (start != source.npos) ++start;
    }
    if (start == source.npos) return column + 1;
    std::string_view text = source.substr(start, source.find('\n', start) - start);
    size_t at = static_cast<size_t>(column - 1);
    if (at >= text.size()) return column + 1;
    size_t end = at + 1;
    if (text[at] == '"') {
        size_t close = text.find('"', at + 1);
        end = close == text.npos ? text.size() : close + 1;
    } else if (isWordByte(static_cast<unsigned char>(text[at]))) {
        while (end < text.size() && isWordByte(static_cast<unsigned char>(text[end]))) ++end;
    }
    return static_cast<int>(end) + 1;
}

// "TEXT [rule]" of a warning.
void splitRule(std::string_view rest, Finding& f) {
    size_t open = rest.rfind(" [");
    if (open != rest.npos && !rest.empty() && rest.back() == ']') {
        f.rule = rest.substr(open + 2, rest.size() - open - 3);
        rest = rest.substr(0, open);
    }
    f.text = rest;
}

// "CAPTION: TEXT" of an error.
void splitCaption(std::string_view rest, Finding& f) {
    size_t colon = rest.find(": ");
    f.caption = rest.substr(0, colon);
    if (colon != rest.npos) f.text = rest.substr(colon + 2);
}

// JSON string of UTF-8 text: quotes, backslashes and control bytes escaped.
std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

std::vector<Finding> parseLintReport(std::string_view report, std::string_view source) {
    const std::string name = std::string(kFindingsScriptName) + ":";
    std::vector<std::string_view> lines = splitLines(report);
    std::vector<Finding> out;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view s = lines[i];
        if (!startsWith(s, name)) continue;
        s.remove_prefix(name.size());
        Finding f;
        if (startsWith(s, " error: ")) {  // concerns no line: no excerpt follows
            f.severity = "error";
            splitCaption(s.substr(8), f);
            out.push_back(f);
            continue;
        }
        if (!takeNumber(s, f.line) || !takeNumber(s, f.column) || !startsWith(s, " ")) continue;
        s.remove_prefix(1);
        if (startsWith(s, "warning: ")) {
            f.severity = "warning";
            splitRule(s.substr(9), f);
        } else if (startsWith(s, "error: ")) {
            f.severity = "error";
            splitCaption(s.substr(7), f);
        } else {
            continue;
        }
        f.endLine = f.line;
        f.endColumn = tokenEnd(source, f.line, f.column);
        i += 2;  // the source line and the caret under it
        if (i + 1 < lines.size() && startsWith(lines[i + 1], "    hint: ")) f.hint = lines[++i].substr(10);
        out.push_back(f);
    }
    return out;
}

std::string findingsJson(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings) {
        out += "{\"file\":" + jsonString(kFindingsScriptName) + ",\"line\":" + std::to_string(f.line) +
               ",\"column\":" + std::to_string(f.column) + ",\"endLine\":" + std::to_string(f.endLine) +
               ",\"endColumn\":" + std::to_string(f.endColumn) + ",\"severity\":" + jsonString(f.severity) +
               ",\"caption\":" + jsonString(f.caption) + ",\"text\":" + jsonString(f.text) +
               ",\"rule\":" + jsonString(f.rule) + ",\"hint\":" + jsonString(f.hint) + "}\n";
    }
    return out;
}

}  // namespace tessel
