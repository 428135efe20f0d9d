// The few POSIX names the shared sources use that Windows' C runtime lacks,
// given their Windows meaning; force-included into every source of the
// Windows build (so the shared code carries no Windows branches for them).
#pragma once

#include <fcntl.h>
#include <io.h>

// Files are never inherited by a started program (there is none). Every
// file the shared code opens asks for O_CLOEXEC, so it also opens them in
// binary mode here: bytes as they are, no CR before LF, no end at Ctrl+Z.
#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif
// There are no FIFOs whose opening could block: opening never waits.
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef F_GETFL
#define F_GETFL 3
#define F_SETFL 4
// Only ever asked to clear O_NONBLOCK again, which is 0 here.
inline int fcntl(int, int, ...) { return 0; }
#endif

#include <csignal>

// The names Linux gives the two signals tessel watches.
inline const char* strsignal(int sig) {
    return sig == SIGINT ? "Interrupt" : sig == SIGTERM ? "Terminated" : "Unknown signal";
}
