#include "base/finding.h"

#include <algorithm>

#include "base/cp1252.h"

namespace tessel {

namespace {

const char kHex[] = "0123456789abcdef";

// Columns a byte takes once shown with windows1252ToTerminal.
size_t shownWidth(unsigned char c) {
    return shownEscaped(c) ? 4 : 1;
}

// A caret line under the bytes [from, from + length) of `line`: the line's
// tabs are kept so the caret stands under the same character whatever the
// terminal's tab width.
std::string caretLine(std::string_view line, size_t from, size_t length) {
    std::string out;
    from = std::min(from, line.size());
    for (unsigned char c : line.substr(0, from)) out.append(c == '\t' ? 1 : shownWidth(c), c == '\t' ? '\t' : ' ');
    out += '^';
    size_t span = 0;
    for (unsigned char c : line.substr(from, std::max<size_t>(length, 1))) span += shownWidth(c);
    if (span > 1) out.append(span - 1, '~');
    return out;
}

std::string severityName(Severity s) {
    return s == Severity::Warning ? "warning" : "error";
}

}  // namespace

std::string jsonString(std::string_view utf8, bool highBytesEscaped) {
    std::string out;
    out.reserve(utf8.size() + 8);
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || (highBytesEscaped && c > 0x7F)) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string_view sourceLineAt(std::string_view source, const SourcePlace& at) {
    if (!at.known()) return {};
    size_t start = std::min<size_t>(at.offset - std::min<size_t>(at.offset, static_cast<size_t>(at.column - 1)),
                                    source.size());
    size_t end = source.find('\n', start);
    std::string_view line = source.substr(start, end == source.npos ? source.npos : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::string findingText(std::string_view file, std::string_view source, const Finding& f, bool labelled) {
    std::string out = bytesToTerminal(file);
    if (f.at.known()) out += ":" + std::to_string(f.at.line) + ":" + std::to_string(f.at.column);
    out += ": ";
    if (labelled) out += severityName(f.severity) + ": ";
    if (!f.caption.empty()) out += windows1252ToTerminal(f.caption) + ": ";
    out += windows1252ToTerminal(f.text);
    if (!f.rule.empty()) out += " [" + f.rule + "]";
    out += '\n';
    if (f.at.known()) {
        std::string_view line = sourceLineAt(source, f.at);
        size_t column = static_cast<size_t>(f.at.column - 1);
        size_t length = std::min<size_t>(f.at.length, line.size() - std::min(column, line.size()));
        out += "    " + windows1252ToTerminal(line) + "\n    " + caretLine(line, column, length) + "\n";
    }
    if (!f.hint.empty()) out += "    hint: " + windows1252ToTerminal(f.hint) + "\n";
    return out;
}

std::string findingJson(std::string_view file, const Finding& f) {
    const int32_t line = f.at.known() ? f.at.line : 0;
    const int32_t column = f.at.known() ? f.at.column : 0;
    const int64_t endColumn = f.at.known() ? int64_t{column} + std::max<uint32_t>(f.at.length, 1) : 0;
    auto field = [](std::string_view name, std::string_view cp1252) {
        return ",\"" + std::string(name) + "\":\"" + jsonString(windows1252ToUtf8(cp1252)) + "\"";
    };
    std::string out = "{\"file\":\"" + jsonString(file) + "\"";
    out += ",\"line\":" + std::to_string(line) + ",\"column\":" + std::to_string(column);
    out += ",\"endLine\":" + std::to_string(line) + ",\"endColumn\":" + std::to_string(endColumn);
    out += ",\"severity\":\"" + severityName(f.severity) + "\"";
    out += field("caption", f.caption) + field("text", f.text) + field("rule", f.rule) + field("hint", f.hint);
    return out + "}\n";
}

}  // namespace tessel
