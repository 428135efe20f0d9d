// The front end's speed: tokenizing and checking must stay linear in the
// script's size. The generated script uses every kind of name the checker
// binds (variables, arrays, labels, functions, event blocks) with thousands
// of distinct names, so a lookup that scans a table would show at once.
#include <benchmark/benchmark.h>

#include <string>

#include "checker/checker.h"
#include "lexer/tokenizer.h"

namespace {

class SilentReporter final : public tessel::Reporter {
   public:
    void diagnostic(std::string_view, std::string_view, const tessel::DiagnosticPlace&) override {}
    void countReport(std::string_view) override {}
};

// One unit of about 100 tokens with its own names, so names grow with size.
void appendUnit(std::string& s, int u) {
    std::string n = std::to_string(u);
    s += "VAR x" + n + ", y" + n + ", a" + n + "[10]\n";
    s += "STR s" + n + "\nPTR p" + n + "\n";
    s += "LABEL top" + n + "\n";
    s += "x" + n + " = y" + n + " + a" + n + "[2] * 3\n";
    s += "IF x" + n + " < 10 & y" + n + " = 2\n  PRINT x" + n + ", y" + n + ", s" + n + "\nENDIF\n";
    s += "WHILE y" + n + " < 5\n  y" + n + " = y" + n + " + 1\nWEND\n";
    s += "WCOLOR 255, 0, 0\nLINE 1, 2, 3, 4\n";
    s += "FUNC f" + n + "()\n  s" + n + " = STRS(x" + n + ")\nENDFN\nf" + n + "()\n";
    s += "GOTO top" + n + "\n";
}

std::string generateScript(int32_t minTokens) {
    std::string s;
    tessel::TokenStore tokens;
    tessel::LexState lex;
    SilentReporter rep;
    for (int u = 0;; ++u) {
        appendUnit(s, u);
        if (u % 64 == 63 && tessel::tokenize(s, tokens, lex, rep) >= minTokens) break;
    }
    s += "WINMSG WMTIMER\nENDWM\n";
    return s;
}

const std::string& script() {
    static const std::string s = generateScript(100000);
    return s;
}

void BM_Tokenize(benchmark::State& state) {
    SilentReporter rep;
    for (auto _ : state) {
        tessel::TokenStore tokens;
        tessel::LexState lex;
        benchmark::DoNotOptimize(tessel::lexingPhase(script(), tokens, lex, rep));
    }
}
BENCHMARK(BM_Tokenize)->Unit(benchmark::kMillisecond);

void BM_TokenizeAndCheck(benchmark::State& state) {
    SilentReporter rep;
    int32_t count = 0;
    for (auto _ : state) {
        tessel::TokenStore tokens;
        tessel::LexState lex;
        tessel::CheckerState checker;
        if (tessel::lexingPhase(script(), tokens, lex, rep) != 1 ||
            tessel::runChecker(tokens, checker, rep) != 1) {
            state.SkipWithError("the generated script did not check");
            break;
        }
        count = tokens.count;
    }
    state.counters["tokens"] = count;
}
BENCHMARK(BM_TokenizeAndCheck)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
