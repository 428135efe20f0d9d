// Loading tessel's own shared modules from the executable's directory.
#include "base/module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

namespace tessel {

namespace {

// The running executable's directory, with its trailing slash.
std::string exeDir() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "";
    std::string path(exe, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1);
}

// Where a module should be: beside the executable (a build tree), else in
// ../lib/tessel/ from it (an installed tree: bin/tessel, lib/tessel/*.so).
std::string modulePath(const char* fileName) {
    std::string dir = exeDir();
    std::string beside = dir + fileName;
    if (dir.empty() || access(beside.c_str(), F_OK) == 0) return beside;
    std::string installed = dir + "../lib/tessel/" + fileName;
    return access(installed.c_str(), F_OK) == 0 ? installed : beside;
}

}  // namespace

void* loadModuleEntry(const char* fileName, const char* entrySymbol, std::string* error) {
    std::string path = modulePath(fileName);
    // Never closed: the module's code and the state it keeps live until exit.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) *error = dlerror();
        return nullptr;
    }
    void* entry = dlsym(handle, entrySymbol);
    if (!entry && error) *error = path + ": " + dlerror();
    return entry;
}

}  // namespace tessel
