#include "lsp/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/cp1252.h"
#include "base/finding.h"

namespace tessel {

namespace {

const Json kNull;
const std::string kEmptyString;
const Json::Array kEmptyArray;
const Json::Object kEmptyObject;

void dumpNumber(double v, std::string& out) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[32];
    if (v == std::floor(v) && std::fabs(v) < 9.0e15) {
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(v));
        (void)ec;
        out.append(buf, end);
        return;
    }
    int n = std::snprintf(buf, sizeof buf, "%.17g", v);
    out.append(buf, static_cast<size_t>(n));
}

// A recursive-descent reader over the text, with a depth limit so hostile
// nesting ends in an error, not in a stack overflow.
struct Reader {
    std::string_view text;
    size_t pos = 0;
    std::string error;

    bool fail(const std::string& why) {
        if (error.empty()) error = why + " at byte " + std::to_string(pos);
        return false;
    }
    void skipSpace() {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r'))
            ++pos;
    }
    bool literal(std::string_view word) {
        if (text.substr(pos, word.size()) != word) return fail("unexpected character");
        pos += word.size();
        return true;
    }
    bool hex4(uint32_t& out) {
        if (pos + 4 > text.size()) return fail("short \\u escape");
        out = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[pos++];
            out <<= 4;
            if (c >= '0' && c <= '9') out |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') out |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') out |= static_cast<uint32_t>(c - 'A' + 10);
            else return fail("bad \\u escape");
        }
        return true;
    }
    static void appendCodePoint(std::string& out, uint32_t cp) {
        if (cp < 0x10000) {
            appendUtf8(out, cp);
            return;
        }
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    bool escape(std::string& out) {
        if (pos >= text.size()) return fail("unterminated string");
        char c = text[pos++];
        switch (c) {
            case '"': out += '"'; return true;
            case '\\': out += '\\'; return true;
            case '/': out += '/'; return true;
            case 'b': out += '\b'; return true;
            case 'f': out += '\f'; return true;
            case 'n': out += '\n'; return true;
            case 'r': out += '\r'; return true;
            case 't': out += '\t'; return true;
            case 'u': break;
            default: return fail("bad escape");
        }
        uint32_t cp = 0;
        if (!hex4(cp)) return false;
        if (cp >= 0xD800 && cp < 0xDC00 && text.substr(pos, 2) == "\\u") {
            size_t save = pos;
            pos += 2;
            uint32_t low = 0;
            if (!hex4(low)) return false;
            if (low >= 0xDC00 && low < 0xE000) cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            else pos = save;
        }
        // A lone surrogate cannot be UTF-8: it becomes the replacement character.
        if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
        appendCodePoint(out, cp);
        return true;
    }
    bool string(std::string& out) {
        ++pos;  // the opening quote
        while (true) {
            size_t run = pos;
            while (pos < text.size() && text[pos] != '"' && text[pos] != '\\' &&
                   static_cast<unsigned char>(text[pos]) >= 0x20)
                ++pos;
            out.append(text.substr(run, pos - run));
            if (pos >= text.size()) return fail("unterminated string");
            char c = text[pos++];
            if (c == '"') return true;
            if (c != '\\') return fail("control character in string");
            if (!escape(out)) return false;
        }
    }
    bool number(Json& out) {
        size_t start = pos;
        if (text[pos] == '-') ++pos;
        auto digits = [&] {
            size_t from = pos;
            while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
            return pos > from;
        };
        if (pos < text.size() && text[pos] == '0') ++pos;
        else if (!digits()) return fail("bad number");
        if (pos < text.size() && text[pos] == '.') {
            ++pos;
            if (!digits()) return fail("bad number");
        }
        if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
            ++pos;
            if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
            if (!digits()) return fail("bad number");
        }
        std::string copy(text.substr(start, pos - start));
        out = Json(std::strtod(copy.c_str(), nullptr));
        return true;
    }
    size_t values = 0;

    bool value(Json& out, int depth) {
        skipSpace();
        if (++values > kJsonMaxValues) return fail("too many values");
        if (pos >= text.size()) return fail("unexpected end");
        char c = text[pos];
        if (c == '{' || c == '[') {
            if (depth >= kJsonMaxDepth) return fail("nesting too deep");
            return c == '{' ? object(out, depth + 1) : array(out, depth + 1);
        }
        if (c == '"') {
            std::string s;
            if (!string(s)) return false;
            out = Json(std::move(s));
            return true;
        }
        if (c == 't') return literal("true") && (out = Json(true), true);
        if (c == 'f') return literal("false") && (out = Json(false), true);
        if (c == 'n') return literal("null") && (out = Json(), true);
        if (c == '-' || (c >= '0' && c <= '9')) return number(out);
        return fail("unexpected character");
    }
    bool array(Json& out, int depth) {
        ++pos;
        out = Json::array();
        skipSpace();
        if (pos < text.size() && text[pos] == ']') return ++pos, true;
        while (true) {
            Json item;
            if (!value(item, depth)) return false;
            out.push(std::move(item));
            skipSpace();
            if (pos >= text.size()) return fail("unterminated array");
            char c = text[pos++];
            if (c == ']') return true;
            if (c != ',') return fail("expected , or ]");
        }
    }
    bool object(Json& out, int depth) {
        ++pos;
        out = Json::object();
        skipSpace();
        if (pos < text.size() && text[pos] == '}') return ++pos, true;
        while (true) {
            skipSpace();
            if (pos >= text.size() || text[pos] != '"') return fail("expected a member name");
            std::string key;
            if (!string(key)) return false;
            skipSpace();
            if (pos >= text.size() || text[pos++] != ':') return fail("expected :");
            Json item;
            if (!value(item, depth)) return false;
            out.add(std::move(key), std::move(item));
            skipSpace();
            if (pos >= text.size()) return fail("unterminated object");
            char c = text[pos++];
            if (c == '}') return true;
            if (c != ',') return fail("expected , or }");
        }
    }
};

}  // namespace

int64_t Json::asInt(int64_t fallback) const {
    if (!isNumber() || number_ != std::floor(number_) || std::fabs(number_) > 9.0e18) return fallback;
    return static_cast<int64_t>(number_);
}

const std::string& Json::asString() const { return isString() ? string_ : kEmptyString; }
const Json::Array& Json::items() const { return isArray() ? array_ : kEmptyArray; }
const Json::Object& Json::members() const { return isObject() ? object_ : kEmptyObject; }

const Json& Json::operator[](std::string_view key) const {
    for (const Member& m : members())
        if (m.first == key) return m.second;
    return kNull;
}

bool Json::has(std::string_view key) const {
    for (const Member& m : members())
        if (m.first == key) return true;
    return false;
}

Json& Json::set(std::string_view key, Json value) {
    if (!isObject()) *this = object();
    for (Member& m : object_)
        if (m.first == key) {
            m.second = std::move(value);
            return *this;
        }
    object_.emplace_back(std::string(key), std::move(value));
    return *this;
}

Json& Json::add(std::string key, Json value) {
    if (!isObject()) *this = object();
    object_.emplace_back(std::move(key), std::move(value));
    return *this;
}

Json& Json::push(Json value) {
    if (!isArray()) *this = array();
    array_.push_back(std::move(value));
    return *this;
}

void Json::dumpTo(std::string& out) const {
    switch (kind_) {
        case Kind::Null: out += "null"; break;
        case Kind::Bool: out += bool_ ? "true" : "false"; break;
        case Kind::Number: dumpNumber(number_, out); break;
        case Kind::String:
            out += '"';
            out += jsonString(string_);
            out += '"';
            break;
        case Kind::Array: {
            out += '[';
            bool first = true;
            for (const Json& item : array_) {
                if (!first) out += ',';
                first = false;
                item.dumpTo(out);
            }
            out += ']';
            break;
        }
        case Kind::Object: {
            out += '{';
            bool first = true;
            for (const Member& m : object_) {
                if (!first) out += ',';
                first = false;
                out += '"';
                out += jsonString(m.first);
                out += "\":";
                m.second.dumpTo(out);
            }
            out += '}';
            break;
        }
    }
}

std::string Json::dump() const {
    std::string out;
    dumpTo(out);
    return out;
}

JsonParse parseJson(std::string_view text) {
    Reader r;
    r.text = text;
    Json v;
    if (!r.value(v, 0)) return {std::nullopt, r.error};
    r.skipSpace();
    if (r.pos != text.size()) {
        r.fail("text after the value");
        return {std::nullopt, r.error};
    }
    return {std::move(v), {}};
}

}  // namespace tessel
