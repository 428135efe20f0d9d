#include "debug/recorded_images.h"

#include "codec/image_files.h"

namespace tessel::debug {

const RecordedImages::Entry* RecordedImages::recorded(bool isRead, const std::string& path) {
    if (next_ < log_.size() && log_[next_].isRead == isRead && log_[next_].path == path) return &log_[next_++];
    return nullptr;
}

RecordedImages::Entry& RecordedImages::record(bool isRead, const std::string& path) {
    log_.resize(next_);
    log_.push_back(Entry{isRead, path, false, 0, 0, {}, {}});
    ++next_;
    return log_.back();
}

bool RecordedImages::identify(const std::string& path, int64_t& mtimeNs, int64_t& size) {
    const Entry* e = recorded(false, path);
    if (!e) {
        Entry& fresh = record(false, path);
        fresh.ok = imageFileIdentity(path, fresh.mtimeNs, fresh.size);
        e = &fresh;
    }
    mtimeNs = e->mtimeNs;
    size = e->size;
    return e->ok;
}

bool RecordedImages::read(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
    const Entry* e = recorded(true, path);
    if (!e) {
        Entry& fresh = record(true, path);
        fresh.ok = readImageFile(path, fresh.bytes, &fresh.error);
        e = &fresh;
    }
    bytes = e->bytes;
    if (!e->ok && error) *error = e->error;
    return e->ok;
}

}  // namespace tessel::debug
