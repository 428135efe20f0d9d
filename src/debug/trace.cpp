#include "debug/trace.h"

#include <cstdio>

#include "base/cp1252.h"

namespace tessel::debug {

Tracer::Tracer(std::string script) : script_(bytesToTerminal(script)) {
    stepping = true;
}

void Tracer::atStatement(Vm& vm, int32_t index, bool) {
    const int32_t token = vm.code.tokenOf[static_cast<size_t>(index)];
    std::fprintf(stderr, "%s:%d\n", script_.c_str(), vm.tokens.lineAt(token));
}

}  // namespace tessel::debug
