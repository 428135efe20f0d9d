// Fuzz target: the one-step readings agree with the general procedures on
// fuzzer-made lines. The input follows a fixed set of declarations; when the
// front end accepts the script, every token of the input is a start, read as
// a numeric expression, a string expression, a condition and a statement over
// run tables with and without the one-step flags. A difference aborts.
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "../tests/unit/fastpath_harness.h"

namespace {


// Awkward values, the same for every input.
void fillMemory(tessel::Vm& vm) {
    const float kValues[] = {2.0f, -0.0f, 2.5f, std::numeric_limits<float>::quiet_NaN(), 1e10f, 7.0f, std::numeric_limits<float>::infinity(), -3.0f};
    constexpr const char* kTexts[] = {"abc", "", "12", "\xff"};
    const tessel::CheckerState& ck = vm.symbols;
    for (size_t v = 1; v < ck.vars.size(); ++v) {
        vm.memory.vars[v].num = kValues[v % 8];
        vm.memory.vars[v].ptr = static_cast<int32_t>(v * 3) - 4;
        vm.memory.vars[v].str = kTexts[v % 4];
    }
    for (size_t a = 1; a < ck.arrays.size(); ++a) {
        tessel::ArrayElements& e = vm.memory.arrays[a];
        for (size_t i = 0; i < 24; ++i) {
            if (!e.nums.empty()) e.nums[i] = kValues[(a + i) % 8];
            if (!e.ptrs.empty()) e.ptrs[i] = static_cast<int32_t>(i) - 3;
            if (!e.strs.empty()) e.strs[i] = kTexts[(a + i) % 4];
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    static tessel::fastpath::DiffMachine machine;
    std::string source = tessel::fastpath::kPrologue;
    source.append(reinterpret_cast<const char*>(data), size);
    source += "\n";
    if (!machine.load(source).empty()) return 0;
    tessel::Vm& vm = machine.vm();
    fillMemory(vm);
    // Every token after the declarations' last line end is a start.
    std::vector<int32_t> starts;
    int line = 1;
    for (int32_t i = 1; i <= vm.tokens.count; ++i) {
        if (line > 5 && vm.tokens.classAt(i) != tessel::CLS_EOL) starts.push_back(i);
        if (vm.tokens.classAt(i) == tessel::CLS_EOL) ++line;
    }
    for (const tessel::fastpath::Mismatch& m : machine.compareAll(starts, 0)) {
        std::fprintf(stderr, "token %d: %s\n", m.start, m.what.c_str());
        std::abort();
    }
    return 0;
}
