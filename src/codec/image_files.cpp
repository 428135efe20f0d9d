// Reading image files into memory and writing PNG files, with plain POSIX
// calls so that every failure has its reason.
#include "codec/image_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "codec/image_decode.h"
#include "codec/png_encode.h"

namespace tessel {

namespace {

bool fail(std::string* error, const std::string& reason) {
    if (error) *error = reason;
    return false;
}

bool failErrno(std::string* error) { return fail(error, std::strerror(errno)); }

// Reads exactly `size` bytes; a regular file gives them in one read unless
// interrupted, and a short file (truncated meanwhile) is a failure.
bool readAll(int fd, uint8_t* data, size_t size, std::string* error) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failErrno(error);
        if (n == 0) return fail(error, "file shrank while being read");
        done += size_t(n);
    }
    return true;
}

bool writeAll(int fd, const uint8_t* data, size_t size, std::string* error) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failErrno(error);
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool readImageFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
    // Non-blocking, so that a FIFO named as an image cannot stall the open.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return failErrno(error);
    struct stat st {};
    bool ok = false;
    if (fstat(fd, &st) != 0)
        failErrno(error);
    else if (!S_ISREG(st.st_mode))
        fail(error, "not a regular file");
    else if (st.st_size > kMaxImageFileBytes)
        fail(error, "file too large for an image");
    else {
        bytes.resize(size_t(st.st_size));
        ok = readAll(fd, bytes.data(), bytes.size(), error);
    }
    close(fd);
    if (!ok) bytes.clear();
    return ok;
}

bool decodeImageFile(const std::string& path, ImageData& out, std::string* error,
                     Heartbeat* heartbeat) {
    std::vector<uint8_t> bytes;
    return readImageFile(path, bytes, error) &&
           decodeImage(bytes, out, error, kMaxImagePixels, heartbeat);
}

bool writePngFile(const std::string& path, const uint32_t* pixels, int width, int height,
                  std::string* error) {
    std::vector<uint8_t> png = encodePng(pixels, width, height);
    if (png.empty()) return fail(error, "no image to write");
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return failErrno(error);
    bool ok = writeAll(fd, png.data(), png.size(), error);
    if (close(fd) != 0 && ok) ok = failErrno(error);
    return ok;
}

bool imageFileIdentity(const std::string& path, int64_t& mtimeNs, int64_t& size) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
#ifdef _WIN32  // (Windows' stat has whole seconds only)
    mtimeNs = int64_t(st.st_mtime) * 1000000000;
#else
    mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#endif
    size = st.st_size;
    return true;
}

}  // namespace tessel
