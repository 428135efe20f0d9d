// The text of a string variable, array element or temporary: its bytes
// (Windows-1252), their length and the room allocated for them, and no more.
//
// Not std::string: the web edition's libc++ keeps short texts inside the
// string object, so every length, data and room it reads first tests which
// form the string has, and its copies of a few bytes are calls out of the
// module. A text that has held bytes keeps its room when it is cleared or
// cut, so the registers a loop reuses allocate nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace tessel {

class Text {
   public:
    Text() noexcept = default;
    explicit Text(std::string_view s) { append(s); }
    Text(const Text& other) : Text(other.view()) {}
    Text(Text&& other) noexcept : bytes_(other.bytes_), size_(other.size_), room_(other.room_) {
        other.bytes_ = nullptr;
        other.size_ = other.room_ = 0;
    }
    Text& operator=(const Text& other) {
        assign(other.view());
        return *this;
    }
    Text& operator=(Text&& other) noexcept {
        Text taken(std::move(other));
        swap(taken);
        return *this;
    }
    ~Text();

    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    size_t capacity() const noexcept { return room_; }
    // Null while no room was ever allocated.
    const char* data() const noexcept { return bytes_; }
    char* data() noexcept { return bytes_; }
    std::string_view view() const noexcept { return {bytes_, size_}; }
    operator std::string_view() const noexcept { return view(); }
    std::string str() const { return std::string(view()); }
    char operator[](size_t i) const noexcept { return bytes_[i]; }

    void clear() noexcept { size_ = 0; }
    // `s` may lie in this text's own bytes.
    void append(const char* s, size_t n) {
        if (n > room_ - size_) return appendGrowing(s, n);
        copyBytes(bytes_ + size_, s, n);
        size_ += n;
    }
    void append(std::string_view s) { append(s.data(), s.size()); }
    void push_back(char c) { append(&c, 1); }
    // `s` may lie in this text's own bytes.
    void assign(std::string_view s);
    // Cuts the text to `n` bytes, or adds zero bytes up to `n`.
    void resize(size_t n);
    void swap(Text& other) noexcept {
        std::swap(bytes_, other.bytes_);
        std::swap(size_, other.size_);
        std::swap(room_, other.room_);
    }

    friend bool operator==(const Text& a, std::string_view b) noexcept { return a.view() == b; }

   private:
    static void copyBytes(char* to, const char* from, size_t n) noexcept;
    void growFor(size_t more);
    void appendGrowing(const char* s, size_t n);

    char* bytes_ = nullptr;
    size_t size_ = 0;
    size_t room_ = 0;
};

// Copies `n` bytes, at most 32, between ranges that do not overlap, as
// two to four overlapping words (or bytes one by one below 8).
inline void copyFewBytes(char* to, const char* from, size_t n) noexcept {
    auto word = [](const char* p) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    };
    auto put = [](char* p, uint64_t w) { std::memcpy(p, &w, 8); };
    if (n < 8) {
        for (size_t i = 0; i < n; ++i) to[i] = from[i];
    } else if (n <= 16) {
        const uint64_t a = word(from), b = word(from + n - 8);
        put(to, a);
        put(to + n - 8, b);
    } else {
        const uint64_t a = word(from), b = word(from + 8), c = word(from + n - 16),
                       d = word(from + n - 8);
        put(to, a);
        put(to + 8, b);
        put(to + n - 16, c);
        put(to + n - 8, d);
    }
}

// Copies `n` bytes between ranges that do not overlap. In the web edition
// a copy of a length known only as it runs is a call out of the module,
// which for the few bytes most texts are costs more than the copy (the
// strings workload ran a fifth faster with the short copies inline);
// natively the library's copy measured faster.
inline void Text::copyBytes(char* to, const char* from, size_t n) noexcept {
#if defined(__EMSCRIPTEN__)
    if (n <= 32) return copyFewBytes(to, from, n);
#endif
    if (n != 0) std::memcpy(to, from, n);
}

}  // namespace tessel
