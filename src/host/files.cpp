#include "host/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace tessel {

namespace {

std::string systemError(int err) { return std::strerror(err ? err : EIO); }

// What keeps a file from being read as a script, or "" when nothing does.
std::string unreadableReason(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return "Is a directory";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (st.st_size > kMaxSourceBytes) return "larger than 64 MiB";
    return "";
}

// Reads what the open file holds, up to the limit.
std::string readAll(int fd, std::string& out) {
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return systemError(errno);
        if (n == 0) return "";
        out.append(buf, static_cast<size_t>(n));
        // The file may grow while it is read: the limit holds all the same.
        if (static_cast<int64_t>(out.size()) > kMaxSourceBytes) return "larger than 64 MiB";
    }
}

}  // namespace

bool readScriptFile(const std::string& path, std::string& out, std::string& why) {
    // Opened without blocking, so a FIFO with no writer is refused instead
    // of waited for; only a regular file is read.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = systemError(errno);
        return false;
    }
    struct stat st {};
    why = fstat(fd, &st) != 0 ? systemError(errno) : unreadableReason(st);
    out.clear();
    if (why.empty()) {
        out.reserve(static_cast<size_t>(st.st_size));
        why = readAll(fd, out);
    }
    close(fd);
    if (!why.empty()) out.clear();
    return why.empty();
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb {};
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace {

void reportWriteError(const std::string& path, int err) {
    std::fprintf(stderr, "tessel: cannot write %s: %s\n", path.c_str(), systemError(err).c_str());
}

}  // namespace

std::FILE* openLogFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) reportWriteError(path, errno);
    return f;
}

bool writeLogFile(std::FILE* f, const std::string& path, std::string_view bytes, bool flush) {
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (ok && flush) ok = std::fflush(f) == 0;
    if (!ok) reportWriteError(path, errno);
    return ok;
}

bool closeLogFile(std::FILE* f, const std::string& path) {
    bool ok = std::fflush(f) == 0 && !std::ferror(f);
    int err = errno;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) reportWriteError(path, err ? err : errno);
    return ok;
}

}  // namespace tessel
