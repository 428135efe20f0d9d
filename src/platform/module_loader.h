// Loading tessel's own shared modules (libtessel_*.so). Each lives beside
// the executable, is opened on first need and stays loaded until exit, and
// hands back one table of entry points through its one exported function.
#pragma once

#include <string>

namespace tessel {

// Opens `fileName` from the executable's directory and finds its exported
// function `entrySymbol`, which the caller calls for the module's table.
// Null, with the loader's reason in `error`, when the module is missing or
// has no such function.
void* loadModuleEntry(const char* fileName, const char* entrySymbol, std::string* error);

// The module's table: its entry function's result (null, with the reason in
// `error`, when there is none).
template <class Table>
const Table* loadModuleTable(const char* fileName, const char* entrySymbol, std::string* error) {
    void* entry = loadModuleEntry(fileName, entrySymbol, error);
    if (!entry) return nullptr;
    const Table* table = reinterpret_cast<const Table* (*)()>(entry)();
    if (!table && error) *error = std::string(fileName) + ": no entry table";
    return table;
}

}  // namespace tessel
