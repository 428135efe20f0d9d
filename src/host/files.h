// The files a run reads and writes besides images: the script, and the box
// and print logs. The script is read whole, from a regular file of bounded
// size; logs report their first write error and remember it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessel {

// The largest script tessel reads (a script of 64 MiB has millions of lines).
inline constexpr int64_t kMaxSourceBytes = int64_t{64} << 20;

// Reads the whole script into `out`. False with the reason in `why` (the
// system's error text, or what is wrong with the file) when it cannot.
bool readScriptFile(const std::string& path, std::string& out, std::string& why);

// True when `a` and `b` name the same existing file (or are spelled alike).
bool sameFile(const std::string& a, const std::string& b);

// Output files (the box and print logs) are plain streams; these report
// a failure on stderr, naming the file, and return false.
std::FILE* openLogFile(const std::string& path);
bool writeLogFile(std::FILE* f, const std::string& path, std::string_view bytes, bool flush);
bool closeLogFile(std::FILE* f, const std::string& path);

}  // namespace tessel
