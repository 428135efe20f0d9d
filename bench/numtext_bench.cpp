// Number to text, the integer way against the long-double reference, over
// three kinds of values scripts print: counters, fractions, and numbers far
// from 1 that take the exponent layout.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "base/convert.h"
#include "support/convert_reference.h"

namespace {

std::vector<float> counters() {
    std::vector<float> v;
    for (int i = 0; i < 4096; ++i) v.push_back(static_cast<float>(i * 97));
    return v;
}

std::vector<float> fractions() {
    std::vector<float> v;
    for (int i = 1; i <= 4096; ++i) v.push_back(static_cast<float>(i) / 7.0f);
    return v;
}

// Spread over every binade: 1e-45 to 3e38, mostly the exponent layout.
std::vector<float> anyMagnitude() {
    std::vector<float> v;
    for (uint32_t i = 0; i < 4096; ++i) v.push_back(std::bit_cast<float>(0x00800000u + i * 0x7E000u + i));
    return v;
}

template <std::string (*Convert)(float)>
void convertAll(benchmark::State& state, const std::vector<float>& values) {
    for (auto _ : state)
        for (float f : values) benchmark::DoNotOptimize(Convert(f));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}

void fastCounters(benchmark::State& s) { convertAll<tessel::numberToText>(s, counters()); }
void referenceCounters(benchmark::State& s) { convertAll<tessel::numberToTextReference>(s, counters()); }
void fastFractions(benchmark::State& s) { convertAll<tessel::numberToText>(s, fractions()); }
void referenceFractions(benchmark::State& s) { convertAll<tessel::numberToTextReference>(s, fractions()); }
void fastAnyMagnitude(benchmark::State& s) { convertAll<tessel::numberToText>(s, anyMagnitude()); }
void referenceAnyMagnitude(benchmark::State& s) {
    convertAll<tessel::numberToTextReference>(s, anyMagnitude());
}

}  // namespace

BENCHMARK(fastCounters);
BENCHMARK(referenceCounters);
BENCHMARK(fastFractions);
BENCHMARK(referenceFractions);
BENCHMARK(fastAnyMagnitude);
BENCHMARK(referenceAnyMagnitude);
BENCHMARK_MAIN();
