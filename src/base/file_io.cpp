#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/cp1252.h"

namespace tessel {

namespace {

std::string systemError(int err) {
    return std::strerror(err ? err : EIO);
}

std::string tooLarge(int64_t limit) {
    return "larger than " + std::to_string(limit >> 20) + " MiB";
}

// What keeps an open file from being read whole, or "" when nothing does.
std::string unreadableReason(const struct stat& st, int64_t limit) {
    if (S_ISDIR(st.st_mode)) return "Is a directory";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (st.st_size > limit) return tooLarge(limit);
    return "";
}

// Reads what the open file holds, up to the limit.
std::string readAll(int fd, int64_t limit, std::string& out) {
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return systemError(errno);
        if (n == 0) return "";
        out.append(buf, static_cast<size_t>(n));
        // The file may grow while it is read: the limit holds all the same.
        if (static_cast<int64_t>(out.size()) > limit) return tooLarge(limit);
    }
}

}  // namespace

bool readBoundedFile(const std::string& path, int64_t limit, std::string& out, std::string& why) {
    // Opened without blocking, so a FIFO with no writer is refused instead
    // of waited for; only a regular file is read.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = systemError(errno);
        return false;
    }
    struct stat st {};
    why = fstat(fd, &st) != 0 ? systemError(errno) : unreadableReason(st, limit);
    out.clear();
    if (why.empty()) {
        out.reserve(static_cast<size_t>(st.st_size));
        why = readAll(fd, limit, out);
    }
    close(fd);
    if (!why.empty()) out.clear();
    return why.empty();
}

void reportWriteError(const std::string& path, const std::string& reason) {
    std::string line = "tessel: cannot write " + bytesToTerminal(path) + ": " + reason + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::FILE* openOutputFile(const std::string& path) {
    // Without blocking, so that a FIFO nobody reads is refused (ENXIO)
    // instead of hanging the run; the writes themselves block as usual.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    std::FILE* f = nullptr;
    if (fd >= 0) {
        int flags = fcntl(fd, F_GETFL);
        if (flags != -1 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != -1) f = fdopen(fd, "wb");
        if (!f) {
            int err = errno;
            close(fd);
            errno = err;
        }
    }
    if (!f) reportWriteError(path, systemError(errno));
    return f;
}

bool writeOutputFile(std::FILE* f, const std::string& path, std::string_view bytes, bool flush) {
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (ok && flush) ok = std::fflush(f) == 0;
    if (!ok) reportWriteError(path, systemError(errno));
    return ok;
}

bool closeOutputFile(std::FILE* f, const std::string& path) {
    errno = 0;
    bool ok = std::fflush(f) == 0 && !std::ferror(f);
    int err = errno;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) reportWriteError(path, systemError(err ? err : errno));
    return ok;
}

bool writeWholeFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = openOutputFile(path);
    if (!f) return false;
    const bool written = writeOutputFile(f, path, bytes, false);
    return closeOutputFile(f, path) && written;
}

}  // namespace tessel
