// Loading tessel's own shared modules (libtessel_*.so). Each lives beside
// the executable (or, installed, in ../lib/tessel/ from it), is opened on first need and stays loaded until exit, and
// hands back one table of entry points through its one exported function.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {

// Opens `fileName` from the executable's directory (else from
// <exe dir>/../lib/tessel/) and finds its exported
// function `entrySymbol`, which the caller calls for the module's table.
// Null, with the loader's reason in `error`, when the module is missing or
// has no such function.
void* loadModuleEntry(const char* fileName, const char* entrySymbol, std::string* error);

// The module's table: its entry function's result, whose first field
// `version` must be `version` (a module from another build is refused).
// Null, with the reason in `error`, when there is no such table.
template <class Table>
const Table* loadModuleTable(const char* fileName, const char* entrySymbol, uint32_t version,
                             std::string* error) {
    void* entry = loadModuleEntry(fileName, entrySymbol, error);
    if (!entry) return nullptr;
    const Table* table = reinterpret_cast<const Table* (*)()>(entry)();
    if (table && table->version == version) return table;
    if (error)
        *error = std::string(fileName) + (table ? ": built for another version of tessel" : ": no entry table");
    return nullptr;
}

}  // namespace tessel
