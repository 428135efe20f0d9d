// The front end's speed: tokenizing and checking must stay linear in the
// script's size. The generated script uses every kind of name the checker
// binds (variables, arrays, labels, functions, event blocks) with thousands
// of distinct names, so a lookup that scans a table would show at once.
#include <benchmark/benchmark.h>

#include <string>

#include "checker/checker.h"
#include "compile/compiler.h"
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

// Scripts of about a million tokens for the compiler, by shape: the mixed
// units above, dense arithmetic (12 tokens a line), one-line IF blocks (the
// densest code: 10 tokens a line), and nothing but line ends.
std::string compileScript(int shape) {
    constexpr int kMillion = 1000000;
    std::string s;
    switch (shape) {
        case 0: return generateScript(kMillion);
        case 1:
            s = "VAR a\n";
            for (int i = 0; i < kMillion / 12; ++i) s += "a=a+a-a*a/a\n";
            return s;
        case 2:
            s = "VAR x\nLABEL l\n";
            for (int i = 0; i < kMillion / 10; ++i) s += "IF x = 1 : GOTO l : ENDIF\n";
            return s;
        default: return std::string(kMillion, '\n');
    }
}

// Compiling a checked script: the compile layer alone, with the bytes its
// code keeps per token.
void BM_Compile(benchmark::State& state) {
    SilentReporter rep;
    tessel::TokenStore tokens;
    tessel::LexState lex;
    tessel::CheckerState checker;
    if (tessel::lexingPhase(compileScript(static_cast<int>(state.range(0))), tokens, lex, rep) != 1 ||
        tessel::runChecker(tokens, checker, rep) != 1) {
        state.SkipWithError("the script did not check");
        return;
    }
    tessel::Code code;
    for (auto _ : state) tessel::compileProgram(tokens, checker, code);
    const double bytes = static_cast<double>(code.ins.size() * sizeof(tessel::Instr) + code.tokenOf.size() * 4 +
                                             code.aux.size() * 4 + code.strings.size() * sizeof(std::string_view));
    state.counters["tokens"] = tokens.count;
    state.counters["code B/token"] = bytes / tokens.count;
}
BENCHMARK(BM_Compile)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
