// The files a run reads and writes besides images: the script is read
// whole, from a regular file of bounded size; the outputs (logs,
// screenshot, recording) are checked against the inputs and each other
// before anything is opened, and opened (base/file_io.h) only after every
// check has passed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "host/options.h"
#include "platform/events_file.h"

namespace tessel {

// The largest script tessel reads (a script of 64 MiB has millions of lines).
inline constexpr int64_t kMaxSourceBytes = int64_t{64} << 20;

// Reads the whole script into `out`. False with the reason in `why` (the
// system's error text, or what is wrong with the file) when it cannot.
bool readScriptFile(const std::string& path, std::string& out, std::string& why);

// What a path names, to tell whether two paths name the same file however
// they are spelled: an existing file by its device and inode (symbolic links
// followed), a file yet to be made by its absolute path, with the links
// that lead to it followed and "." and ".." resolved.
struct FileIdentity {
    bool exists = false;
    bool regular = false;  // an existing regular file
    uint64_t device = 0, inode = 0;
    std::string path;  // a file yet to be made
};
FileIdentity fileIdentity(const std::string& path);

// True when writing one could overwrite the other: the same regular file,
// or the same file yet to be made. Two outputs may share a device or a pipe
// (/dev/null, a terminal): nothing is overwritten there.
bool mayOverwrite(const FileIdentity& a, const FileIdentity& b);

// The usage error, or "" when there is none, when an output (--box-log,
// --print-log, --screenshot, --record, or a `screenshot` line of the events
// file) names the script, the events file or another output. Checked
// before anything is opened, so a refused run touches no file.
std::string refusedOutput(const Options& opts, const std::vector<ScriptedEvent>& events);

}  // namespace tessel
