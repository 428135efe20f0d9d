#include "vm/text.h"

#include <cstdlib>
#include <new>

namespace tessel {

Text::~Text() {
    std::free(bytes_);
}

// Room for `more` bytes after the text: at least twice the room there was,
// as a loop that appends grows its text.
void Text::growFor(size_t more) {
    const size_t need = size_ + more;
    if (need < size_) throw std::bad_alloc();
    size_t room = room_ > need / 2 ? room_ * 2 : need;
    if (room < 16) room = 16;
    char* bytes = static_cast<char*>(std::malloc(room));
    if (bytes == nullptr) throw std::bad_alloc();
    if (size_ != 0) std::memcpy(bytes, bytes_, size_);
    std::free(bytes_);
    bytes_ = bytes;
    room_ = room;
}

void Text::appendGrowing(const char* s, size_t n) {
    // (`s` may lie in the room being given up.)
    const uintptr_t at = reinterpret_cast<uintptr_t>(s) - reinterpret_cast<uintptr_t>(bytes_);
    const bool own = bytes_ != nullptr && at < room_;
    growFor(n);
    if (own) s = bytes_ + at;
    std::memcpy(bytes_ + size_, s, n);
    size_ += n;
}

void Text::assign(std::string_view s) {
    if (s.size() > room_) {
        // Longer than the room: `s` is not part of this text.
        size_ = 0;
        return appendGrowing(s.data(), s.size());
    }
    if (!s.empty()) std::memmove(bytes_, s.data(), s.size());
    size_ = s.size();
}

void Text::resize(size_t n) {
    if (n <= size_) return void(size_ = n);
    const size_t more = n - size_;
    if (more > room_ - size_) growFor(more);
    std::memset(bytes_ + size_, 0, more);
    size_ = n;
}

}  // namespace tessel
