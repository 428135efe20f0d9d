// The standard streams in binary mode before main() runs, as on Linux: no CR
// added before each LF of a message or a print, none taken from what is read
// (the language server's message framing counts bytes). Files are opened
// binary by posix_compat.h's O_CLOEXEC.
#include <fcntl.h>
#include <io.h>

#include <initializer_list>

namespace {

const bool kBinaryStreams = [] {
    for (int fd : {0, 1, 2}) _setmode(fd, _O_BINARY);
    return true;
}();

}  // namespace
