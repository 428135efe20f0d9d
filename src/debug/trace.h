// --trace: each statement's place written to standard error before it
// runs, as SCRIPT:LINE.
#pragma once

#include <string>

#include "exec/vm.h"

namespace tessel::debug {

class Tracer final : public DebugHook {
   public:
    explicit Tracer(std::string script);
    void atStatement(Vm& vm, int32_t index, bool breakpoint) override;
    void poll(Vm&) override {}
    void output(std::string_view, std::string_view) override {}

   private:
    std::string script_;  // as the terminal shows it
};

}  // namespace tessel::debug
