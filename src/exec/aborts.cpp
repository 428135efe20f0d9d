// The run-time errors that abort a run, and the boxes that report them.
#include <string>

#include "exec/handlers.h"

namespace tessel::exec {

void raiseRunError(Vm& vm, std::string_view text, int32_t token, bool quote) {
    std::string body(text);
    if (quote) body += vm.tokens.textAt(token);
    const int32_t line = lineAt(vm, token);
    body += " -Line: " + std::to_string(line);
    vm.exec.aborted = true;
    vm.diagnostic("Run Error!", body, AtToken{token});
}

void raiseAbort(Vm& vm, uint16_t kind, int32_t token) {
    const std::string quoted = "-{ " + std::string(vm.tokens.textAt(token)) + " }";
    vm.exec.aborted = true;
    if (kind == ABORT_NOT_STRING) vm.diagnostic("TYPE ERROR", "Not String! " + quoted, AtToken{token});
    else vm.diagnostic("ERROR", "Expression nested too deeply! " + quoted, AtToken{token});
}

void raiseTooLong(Vm& vm, size_t length, int32_t token) {
    vm.exec.aborted = true;
    vm.diagnostic("Run Error!", "String too long! : " + std::to_string(length) + " bytes", AtToken{token});
}

void raiseStringMemory(Vm& vm, int32_t token) {
    raiseRunError(vm,
                  "String memory exhausted! : all texts together may hold " +
                      std::to_string(vm.memory.stringBudget >> 20) + " MB",
                  token);
}

}  // namespace tessel::exec
