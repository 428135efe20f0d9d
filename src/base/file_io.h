// Reading and writing whole files, for the script, the events file, the
// logs and the recording.
//
// An input is read only from a regular file of bounded size: a FIFO, a
// device or a directory is refused at once instead of being waited for or
// read without end, and a file too large is refused before it is read.
// An output is a plain stream whose every write is checked: the first
// failure is reported on stderr, naming the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessel {

// Reads the whole of `path`, a regular file of at most `limit` bytes, into
// `out`. False with the reason in `why` when it cannot: the system's error
// text, "not a regular file", "Is a directory" or "larger than N MiB".
bool readBoundedFile(const std::string& path, int64_t limit, std::string& out, std::string& why);

// Opens an output for writing, emptying it. A FIFO with no reader is
// refused instead of waited for. On failure reports it and returns null.
std::FILE* openOutputFile(const std::string& path);
// Writes `bytes` (and flushes them when asked); on failure reports it and
// returns false.
bool writeOutputFile(std::FILE* f, const std::string& path, std::string_view bytes, bool flush);
// Flushes and closes; on failure reports it and returns false.
bool closeOutputFile(std::FILE* f, const std::string& path);
// Makes `path` hold `bytes` and nothing else: opened, written and closed as
// above; a failure is reported and gives false.
bool writeWholeFile(const std::string& path, std::string_view bytes);

// Reports a failed write of `path` on stderr: "tessel: cannot write PATH: REASON".
void reportWriteError(const std::string& path, const std::string& reason);

}  // namespace tessel
