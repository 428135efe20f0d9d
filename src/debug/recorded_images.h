// The image files a debugged run reads, recorded as they enter: a run of
// the same script started again to come back to an earlier stop reads them
// from the record, as they were, whatever the disk holds now.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/gfx_state.h"

namespace tessel::debug {

class RecordedImages final : public ImageSource {
   public:
    // A run starts: its reads are answered from the record, in order, for
    // as long as they ask what the recorded run asked.
    void restart() { next_ = 0; }
    bool identify(const std::string& path, int64_t& mtimeNs, int64_t& size) override;
    bool read(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) override;

   private:
    struct Entry {
        bool isRead = false;  // read (the bytes) or identify (time and size)
        std::string path;
        bool ok = false;
        int64_t mtimeNs = 0, size = 0;
        std::vector<uint8_t> bytes;
        std::string error;
    };
    // The recorded answer to the next question, when it is the same
    // question; null when the run has gone past the record (which then
    // ends here and goes on with what the disk answers).
    const Entry* recorded(bool isRead, const std::string& path);
    Entry& record(bool isRead, const std::string& path);

    std::vector<Entry> log_;
    size_t next_ = 0;
};

}  // namespace tessel::debug
