// Fuzz target: tokenize and check arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "checker/checker.h"
#include "lexer/tokenizer.h"

namespace {

class SilentReporter final : public tessel::Reporter {
   public:
    void diagnostic(std::string_view, std::string_view, const tessel::DiagnosticPlace&) override {}
    void countReport(std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view src(reinterpret_cast<const char*>(data), size);
    tessel::TokenStore tokens;
    tessel::LexState lex;
    tessel::CheckerState checker;
    checker.arrayStorageBudget = 64 << 20;  // keeps each run fast; the limit itself is tested
    SilentReporter rep;
    if (tessel::lexingPhase(std::string(src), tokens, lex, rep) == 1 && lex.errorCode == 0)
        tessel::runChecker(tokens, checker, rep);
    return 0;
}
