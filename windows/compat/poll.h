// poll() for the one use the shared sources make of it: waiting until one
// descriptor (the language server's standard input) has bytes to read, or a
// time-out passes. A pipe is watched with PeekNamedPipe; anything else (a
// file, a console) is always ready, as a regular file is to poll().
#pragma once

#include <io.h>
#include <windows.h>

#define POLLIN 0x0001
#define POLLHUP 0x0010

struct pollfd {
    int fd;
    short events;
    short revents;
};

inline int poll(pollfd* fds, unsigned long count, int timeoutMs) {
    if (count != 1) return -1;
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fds->fd));
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_PIPE) {
        fds->revents = POLLIN;
        return 1;
    }
    const ULONGLONG start = GetTickCount64();
    for (DWORD waitMs = 0;; waitMs = waitMs < 8 ? waitMs + 1 : 8) {
        DWORD available = 0;
        if (!PeekNamedPipe(h, nullptr, 0, nullptr, &available, nullptr)) {
            fds->revents = POLLHUP;  // the writer is gone: read() gives the end
            return 1;
        }
        if (available > 0) {
            fds->revents = POLLIN;
            return 1;
        }
        const ULONGLONG waited = GetTickCount64() - start;
        if (timeoutMs >= 0 && waited >= static_cast<ULONGLONG>(timeoutMs)) return 0;
        Sleep(waitMs);
    }
}
