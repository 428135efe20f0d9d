// The executor against the token walker, program by program: every golden
// script, every example with its events and every tessel block of the
// documentation runs through both, and the two runs must show the same
// boxes, prints, standard error, final screenshot, exit status and virtual
// time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diff/harness.h"
#include "golden/cases.h"

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

}  // namespace
}  // namespace tessel::diff
