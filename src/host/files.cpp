#include "host/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "base/cp1252.h"
#include "base/file_io.h"

namespace tessel {

bool readScriptFile(const std::string& path, std::string& out, std::string& why) {
    return readBoundedFile(path, kMaxSourceBytes, out, why);
}

namespace {

namespace fs = std::filesystem;

// The path a chain of dangling symbolic links ends at (the file that
// writing through them would make); `path` itself when it is no link.
fs::path followDanglingLinks(fs::path path) {
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(path, ec)); ++hops) {
        fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

}  // namespace

FileIdentity fileIdentity(const std::string& path) {
    FileIdentity id;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.regular = S_ISREG(st.st_mode);
        id.device = static_cast<uint64_t>(st.st_dev);
        id.inode = static_cast<uint64_t>(st.st_ino);
        return id;
    }
    // The folder part exists or not: weakly_canonical resolves what exists
    // of it (links included) and normalises the rest.
    std::error_code ec;
    fs::path target = followDanglingLinks(fs::path(path));
    fs::path full = fs::weakly_canonical(fs::absolute(target, ec), ec);
    id.path = ec ? fs::absolute(target, ec).lexically_normal().string() : full.string();
    return id;
}

bool mayOverwrite(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists != b.exists) return false;
    if (!a.exists) return a.path == b.path;
    return a.regular && b.regular && a.device == b.device && a.inode == b.inode;
}

namespace {

struct NamedFile {
    std::string label;  // as a message names it: the option or the events line
    std::string path;
    FileIdentity id;
};

NamedFile named(std::string label, const std::string& path) {
    return NamedFile{std::move(label), path, fileIdentity(path)};
}

std::string shown(const std::string& path) {
    return bytesToTerminal(path);
}

// The usage error when `out` may overwrite one of the inputs, or "".
std::string clashWithInput(const NamedFile& out, const NamedFile& script, const NamedFile* events) {
    if (mayOverwrite(out.id, script.id))
        return out.label + " " + shown(out.path) + " names the script " + shown(script.path) +
               " itself";
    if (events && mayOverwrite(out.id, events->id))
        return out.label + " " + shown(out.path) + " names the events file " + shown(events->path) +
               " itself";
    return "";
}

}  // namespace

std::string refusedOutput(const Options& opts, const std::vector<ScriptedEvent>& events) {
    NamedFile script = named("", opts.script);
    std::optional<NamedFile> eventsFile;
    if (!opts.events.empty()) eventsFile = named("--events", opts.events);
    std::vector<NamedFile> outputs;
    for (auto [label, path] :
         {std::pair{"--box-log", &opts.boxLog}, std::pair{"--print-log", &opts.printLog},
          std::pair{"--screenshot", &opts.screenshot}, std::pair{"--record", &opts.record}})
        if (!path->empty()) outputs.push_back(named(label, *path));
    // Screenshot lines may name one file again and again: each replaces
    // the last whole. They may not name another output.
    const size_t optionOutputs = outputs.size();
    for (const ScriptedEvent& e : events)
        if (e.kind == EventKind::Screenshot)
            outputs.push_back(
                named(shown(opts.events) + ":" + std::to_string(e.line) + ": screenshot", e.text));
    for (size_t i = 0; i < outputs.size(); ++i) {
        std::string why = clashWithInput(outputs[i], script, eventsFile ? &*eventsFile : nullptr);
        if (!why.empty()) return why;
        for (size_t j = 0; j < std::min(i, optionOutputs); ++j)
            if (mayOverwrite(outputs[i].id, outputs[j].id))
                return outputs[j].label + " " + shown(outputs[j].path) + " and " +
                       outputs[i].label + " " + shown(outputs[i].path) + " name the same file";
    }
    return "";
}

}  // namespace tessel
