// A small JSON value with a reader and a writer, enough for the language
// server's messages: objects keep their members in order, numbers are
// doubles, strings are UTF-8. The reader refuses what is not JSON (and
// nesting past a fixed depth) with a message instead of throwing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessel {

class Json {
   public:
    enum class Kind : uint8_t { Null, Bool, Number, String, Array, Object };
    using Array = std::vector<Json>;
    using Member = std::pair<std::string, Json>;
    using Object = std::vector<Member>;

    Json() = default;
    Json(std::nullptr_t) {}
    Json(bool b) : kind_(Kind::Bool), bool_(b) {}
    Json(int v) : kind_(Kind::Number), number_(v) {}
    Json(int64_t v) : kind_(Kind::Number), number_(static_cast<double>(v)) {}
    Json(uint32_t v) : kind_(Kind::Number), number_(v) {}
    Json(double v) : kind_(Kind::Number), number_(v) {}
    Json(std::string s) : kind_(Kind::String), string_(std::move(s)) {}
    Json(std::string_view s) : kind_(Kind::String), string_(s) {}
    Json(const char* s) : kind_(Kind::String), string_(s) {}
    Json(Array a) : kind_(Kind::Array), array_(std::move(a)) {}
    Json(Object o) : kind_(Kind::Object), object_(std::move(o)) {}

    // {{"key", value}, ...}
    static Json object(std::initializer_list<Member> members = {}) { return Json(Object(members)); }
    static Json array(Array items = {}) { return Json(std::move(items)); }

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isBool() const { return kind_ == Kind::Bool; }
    bool isNumber() const { return kind_ == Kind::Number; }
    bool isString() const { return kind_ == Kind::String; }
    bool isArray() const { return kind_ == Kind::Array; }
    bool isObject() const { return kind_ == Kind::Object; }

    bool asBool(bool fallback = false) const { return isBool() ? bool_ : fallback; }
    double asNumber(double fallback = 0) const { return isNumber() ? number_ : fallback; }
    // A number that is a whole value within int64's range, or `fallback`.
    int64_t asInt(int64_t fallback = 0) const;
    const std::string& asString() const;
    const Array& items() const;
    const Object& members() const;

    // The member `key` of an object; a null value for anything else.
    const Json& operator[](std::string_view key) const;
    bool has(std::string_view key) const;
    // Sets or adds member `key` (a non-object becomes an empty object first).
    Json& set(std::string_view key, Json value);
    // Appends member `key` without looking for an earlier one (the reader's
    // way: with a key given twice, the first is the one found).
    Json& add(std::string key, Json value);
    // Appends to an array (a non-array becomes an empty array first).
    Json& push(Json value);

    // The compact text of the value.
    std::string dump() const;
    void dumpTo(std::string& out) const;

   private:
    Kind kind_ = Kind::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    Array array_;
    Object object_;
};

struct JsonParse {
    std::optional<Json> value;  // nothing when the text is no JSON
    std::string error;          // why, with the byte offset
};

// Deepest nesting of arrays and objects, and most values in one text, that
// the reader accepts: a hostile message ends in an error, not in a stack
// overflow or gigabytes of values.
inline constexpr int kJsonMaxDepth = 64;
inline constexpr size_t kJsonMaxValues = size_t{1} << 20;

// Reads one JSON value filling all of `text` (white space around it allowed).
JsonParse parseJson(std::string_view text);

}  // namespace tessel
