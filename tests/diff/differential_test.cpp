// The executor against the token walker, program by program: every golden
// script, every example with its events and every tessel block of the
// documentation runs through both, and the two runs must show the same
// boxes, prints, standard error, final screenshot, exit status and virtual
// time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/checker.h"
#include "diff/generator.h"
#include "diff/harness.h"
#include "golden/cases.h"
#include "lexer/tokenizer.h"

namespace tessel::diff {
namespace {

namespace fs = std::filesystem;

const fs::path kRoot = TESSEL_SOURCE_ROOT;

// Runs every case of `roots` through both engines; each case that parts is
// one failure naming it and what differs.
void compareCases(const std::vector<fs::path>& roots, size_t atLeast) {
    std::vector<golden::Case> cases = golden::collectCases(roots);
    EXPECT_GE(cases.size(), atLeast) << "the corpus has lost cases";
    for (const golden::Case& c : cases) {
        if (!c.runs) continue;
        Script s = fromGoldenSource(c.suite + "." + c.name, c.source, c.dir);
        std::string d = compareEngines(s);
        if (!d.empty()) ADD_FAILURE() << s.name << " (" << c.file.string() << "):\n" << d;
    }
}

TEST(Differential, GoldenScripts) { compareCases({kRoot / "tests" / "scripts"}, 178); }

TEST(Differential, ExamplesWithTheirEvents) { compareCases({kRoot / "examples"}, 11); }

TEST(Differential, DocumentationSamples) {
    compareCases({kRoot / "docs" / "guide.md", kRoot / "docs" / "reference.md"}, 18);
}

// Whether the front end accepts `source` (a rejected program runs nothing).
bool accepted(const std::string& source) {
    struct Quiet final : Reporter {
        void diagnostic(std::string_view, std::string_view, const DiagnosticPlace&) override {}
        void countReport(std::string_view) override {}
    } quiet;
    TokenStore tokens;
    CheckerState symbols;
    LexState lex;
    return lexingPhase(source, tokens, lex, quiet) == 1 && runChecker(tokens, symbols, quiet) == 1;
}

// Programs of every statement, made from fixed seeds, each with the events
// its event blocks need; the work budget ends endless loops alike.
TEST(Differential, GeneratedPrograms) {
#ifdef TESSEL_DIFF_PROGRAMS
    constexpr uint64_t kPrograms = TESSEL_DIFF_PROGRAMS;
#else
    constexpr uint64_t kPrograms = 400;
#endif
    uint64_t ran = 0;
    for (uint64_t seed = 1; seed <= kPrograms; ++seed) {
        GeneratedProgram g = generateProgram(seed);
        Script s;
        s.name = "generated program " + std::to_string(seed);
        s.source = g.source;
        s.events = g.events;
        if (accepted(g.source)) ++ran;
        std::string d = compareEngines(s, 8);
        if (!d.empty()) ADD_FAILURE() << s.name << ":\n" << g.source << "--- events ---\n" << g.events << "---\n" << d;
    }
    // The generator is of use only while its programs pass the checker.
    EXPECT_GE(ran * 10, kPrograms * 8) << ran << " of " << kPrograms << " programs passed the checker";
}

}  // namespace
}  // namespace tessel::diff
