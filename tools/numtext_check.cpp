// Compares numberToText with numberToTextReference for every float bit
// pattern in [FIRST, END) (default: all 2^32), printing progress to stderr
// and a summary with the first mismatching patterns to stdout.
// Usage: numtext_check [FIRST END]   (numbers in C notation: 0x40000000)
// Exit status 0 when every pattern gives the same text, 1 otherwise.
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/convert.h"
#include "support/convert_reference.h"

namespace {

constexpr uint64_t kAllPatterns = uint64_t{1} << 32;
constexpr uint64_t kProgressStep = uint64_t{1} << 24;
constexpr size_t kMismatchesShown = 10;

struct Mismatch {
    uint32_t bits;
    std::string fast, reference;
};

struct Range {
    uint64_t first = 0, end = kAllPatterns;
};

bool parseRange(int argc, char** argv, Range& range) {
    if (argc == 1) return true;
    if (argc != 3) return false;
    char* stop = nullptr;
    range.first = std::strtoull(argv[1], &stop, 0);
    if (*stop) return false;
    range.end = std::strtoull(argv[2], &stop, 0);
    return !*stop && range.first < range.end && range.end <= kAllPatterns;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void printSummary(const Range& range, uint64_t checked, uint64_t mismatchCount,
                  const std::vector<Mismatch>& shown, double seconds) {
    std::printf("range 0x%09" PRIx64 "..0x%09" PRIx64 ": %" PRIu64 " patterns checked, %" PRIu64
                " mismatches, %.0f s\n",
                range.first, range.end, checked, mismatchCount, seconds);
    for (const Mismatch& m : shown)
        std::printf("  0x%08" PRIx32 ": fast \"%s\", reference \"%s\"\n", m.bits, m.fast.c_str(),
                    m.reference.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Range range;
    if (!parseRange(argc, argv, range)) {
        std::fprintf(stderr, "usage: numtext_check [FIRST END]  (0 <= FIRST < END <= 2^32)\n");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    uint64_t mismatchCount = 0;
    std::vector<Mismatch> shown;
    for (uint64_t pattern = range.first; pattern < range.end; ++pattern) {
        auto bits = static_cast<uint32_t>(pattern);
        float value = std::bit_cast<float>(bits);
        std::string fast = tessel::numberToText(value);
        std::string reference = tessel::numberToTextReference(value);
        if (fast != reference) {
            ++mismatchCount;
            if (shown.size() < kMismatchesShown) shown.push_back({bits, fast, reference});
        }
        uint64_t done = pattern + 1 - range.first;
        if (done % kProgressStep == 0)
            std::fprintf(stderr, "0x%08" PRIx32 " reached, %.1f%% of the range, %" PRIu64
                         " mismatches, %.0f s\n", bits,
                         100.0 * static_cast<double>(done) / static_cast<double>(range.end - range.first),
                         mismatchCount, secondsSince(start));
    }
    printSummary(range, range.end - range.first, mismatchCount, shown, secondsSince(start));
    return mismatchCount ? 1 : 0;
}
