#include "checker/name_index.h"

namespace tessel {

namespace {

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool equalFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (foldAscii(a[k]) != foldAscii(b[k])) return false;
    return true;
}

// FNV-1a over the lower-cased bytes.
uint32_t NameIndex::hashFolded(std::string_view name) {
    uint32_t h = 2166136261u;
    for (char c : name) {
        h ^= static_cast<unsigned char>(foldAscii(c));
        h *= 16777619u;
    }
    return h;
}

// The slot holding `name`, or the empty slot where it would go.
size_t NameIndex::slotOf(std::string_view name, uint32_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& s = slots_[at];
        if (s.token == 0 || (s.hash == hash && equalFolded(tokens_->textAt(s.token), name)))
            return at;
    }
}

void NameIndex::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    for (const Slot& s : old) {
        if (s.token == 0) continue;
        const size_t mask = slots_.size() - 1;
        size_t at = s.hash & mask;
        while (slots_[at].token != 0) at = (at + 1) & mask;
        slots_[at] = s;
    }
}

void NameIndex::addFirst(int32_t token) {
    if ((used_ + 1) * 4 > slots_.size() * 3) grow();  // at most three quarters full
    std::string_view name = tokens_->textAt(token);
    const uint32_t hash = hashFolded(name);
    Slot& s = slots_[slotOf(name, hash)];
    if (s.token != 0) return;
    s = Slot{token, hash};
    ++used_;
}

int32_t NameIndex::firstToken(std::string_view name) const {
    if (slots_.empty()) return 0;
    return slots_[slotOf(name, hashFolded(name))].token;
}

}  // namespace tessel
