// The one-step readings agree with the general procedures. A fixed-seed
// corpus of expressions, conditions and assignments (literals, number, string
// and pointer variables, elements with expression subscripts, groups, signs,
// every operator and function, concatenation with STRS/LSTR/RSTR/MSTR,
// comparisons joined by "&" and "|", and tails that end or continue a reading,
// some of them malformed) goes through the real tokenizer and checker; every
// line ("x = ...") is then read as a numeric expression, a string expression
// and a condition from the token after its "=", and as a statement from its
// first token, over run tables with the one-step flags and without them, and
// the two readings must agree in value, end and abort.
//
// The comparison catches a wrong flag. Each of these changes to
// buildRunTables, made on purpose in a scratch build, fails this test with
// the lines that differ: RF_SUM2 set without its RF_BEFORE_STRING test
// ("2.5 - \"12\"" then reads the literal's number and ends two tokens late),
// RF_ALONE set without its test of the next token's operator ("x * 3.0"
// ends after "x"), and RF_NUMSET set for a pointer variable too (the
// statement "p = ..." then stores the value as a number).
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "fastpath_harness.h"

namespace tessel::fastpath {
namespace {

constexpr int kPrologueLines = 5;

// A small deterministic generator (the same corpus on every platform).
class Rng {
   public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint32_t below(uint32_t n) {
        s_ += 0x9e3779b97f4a7c15ull;
        uint64_t z = s_;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return static_cast<uint32_t>((z ^ (z >> 31)) % n);
    }
    bool chance(uint32_t percent) { return below(100) < percent; }
    template <size_t N>
    const char* pick(const char* const (&items)[N]) {
        return items[below(N)];
    }

   private:
    uint64_t s_;
};

constexpr const char* kNumbers[] = {"0", "1", "2", "3", "7", "10", "0.5", "2.5", "1.2.3", "16777217",
                                    "3.0", "100", "0.1", "255", "20"};
constexpr const char* kNumVars[] = {"x", "y", "z"};
constexpr const char* kPtrVars[] = {"p", "q", "k"};
constexpr const char* kStrVars[] = {"s", "t", "u", "w"};
constexpr const char* kStrings[] = {"\"\"", "\"abc\"", "\"A\"", "\"12\"", "\"+\"", "\"(\"", "\"-3.5\"",
                                    "\"7up\"", "\"abcd\"", "\"&HFF\""};
constexpr const char* kTermOps[] = {"*", "/", "%", "^"};
constexpr const char* kPlainFunctions[] = {"INT", "ABS", "SQR", "LOG", "ROUND", "FRAC", "ATAN"};
constexpr const char* kParenFunctions[] = {"SIN", "COS", "TAN", "RND", "RAND"};
constexpr const char* kComparisons[] = {"=", "!", "<", ">"};
constexpr const char* kTails[] = {"", "", "", "", ":", ": 5", ", 3", ") (", "] [", "\"A\"", "+ \"A\"",
                                  "- s", "+ s", "x", "5", "& x = 1", "| y > 2", "= 3", "TO 9", "STEP 2",
                                  "* 2", "+", "-", "^", "SWAP", "CIRCLE", "n [ 1 ]", "f ( 2 )", "+ 1",
                                  "- x", "ABS 2", "+ STRS ( 5 )", "( 1 )"};

// Random source lines; every token is separated by a blank.
class Generator {
   public:
    explicit Generator(uint64_t seed) : rng_(seed) {}

    std::string line() {
        if (rng_.below(1000) == 0) return deepLine();
        std::string body;
        switch (rng_.below(3)) {
            case 0: body = numExpr(0); break;
            case 1: body = strExpr(0); break;
            default: body = condition(0); break;
        }
        std::string tail = rng_.pick(kTails);
        return target() + " = " + joined(body, tail);
    }

   private:
    static constexpr int kMaxDepth = 4;

    // Mostly r; the other variables, and elements with one-token and longer
    // subscripts (whose lines the other readings start inside).
    std::string target() {
        uint32_t r = rng_.below(100);
        if (r < 60) return "r";
        if (r < 70) return "s";
        if (r < 76) return "p";
        if (r < 88) return std::string(rng_.chance(70) ? "n" : "m") + " [ " + atom() + " ]";
        if (r < 94) return "n [ " + numExpr(1) + " ]";
        return std::string(rng_.chance(50) ? "k" : "w") + " [ " + atom() + " ]";
    }

    // `a` then `b`, with a ":" between when `a` ends with a variable's name
    // and `b` starts with "(" or "[" (which would make the name a call or an
    // element, and the checker reject the line).
    static std::string joined(const std::string& a, const std::string& b) {
        if (b.empty()) return a;
        size_t last = a.rfind(' ');
        char end = a[last == std::string::npos ? 0 : last + 1];
        bool name = end >= 'a' && end <= 'z';
        return a + (name && (b[0] == '(' || b[0] == '[') ? " : " : " ") + b;
    }

    // Nesting at and past the evaluator's limit.
    std::string deepLine() {
        int levels = 995 + static_cast<int>(rng_.below(10));
        std::string inner = rng_.chance(50) ? "x + 1" : "n [ 2 ]";
        if (rng_.chance(30)) return "r = " + std::string(static_cast<size_t>(levels), '-') + " 1";
        std::string open, close;
        for (int i = 0; i < levels; ++i) open += "( ", close += " )";
        return "r = " + open + inner + close;
    }

    // 0, 1 or 2 more operands, mostly fewer.
    int moreOperands() {
        uint32_t r = rng_.below(100);
        return r < 50 ? 0 : r < 85 ? 1 : 2;
    }

    std::string atom() {
        switch (rng_.below(4)) {
            case 0:
            case 1: return rng_.pick(kNumbers);
            case 2: return rng_.pick(kNumVars);
            default: return rng_.pick(kPtrVars);
        }
    }

    std::string subscript(int d) { return rng_.chance(50) ? atom() : numExpr(d + 1); }

    std::string numFactor(int d) {
        if (d >= kMaxDepth) return atom();
        uint32_t r = rng_.below(100);
        if (r < 22) return rng_.pick(kNumbers);
        if (r < 42) return rng_.pick(kNumVars);
        if (r < 48) return rng_.pick(kPtrVars);
        if (r < 51) return rng_.pick(kStrVars);
        if (r < 61) return std::string(rng_.chance(60) ? "n" : "m") + " [ " + subscript(d) + " ]";
        if (r < 64) return "k [ " + subscript(d) + " ]";
        if (r < 66) return "w [ " + subscript(d) + " ]";
        if (r < 73) return rng_.chance(80) ? "( " + numExpr(d + 1) + " )" : "[ " + numExpr(d + 1) + " ]";
        if (r < 78) return std::string(rng_.chance(70) ? "- " : "+ ") + numFactor(d + 1);
        if (r < 83) return std::string(rng_.pick(kPlainFunctions)) + " " + numFactor(d + 1);
        if (r < 86) return std::string(rng_.pick(kParenFunctions)) + " ( " + numExpr(d + 1) + " )";
        if (r < 89) return std::string(rng_.chance(50) ? "VAL " : "LEN ") + strFactor(d + 1);
        if (r < 91) return rng_.chance(50) ? "\"7up\"" : "\"12\"";
        if (r < 93) return "f ( " + numExpr(d + 1) + " )";
        if (r < 95) return "( " + malformed() + " )";
        return joined(numFactor(d + 1), numFactor(d + 1));  // a later alternative may go on
    }

    std::string malformed() {
        constexpr const char* kBroken[] = {"1 +", "x *", "-", "", "2 ^ ^ 3", "x < 1", "+ +", "s + 1",
                                           "\"a\" + 5", "LSTR ( s )", "MSTR ( s , 1 )", ","};
        return rng_.pick(kBroken);
    }

    std::string numTerm(int d) {
        std::string s = numFactor(d);
        for (int i = moreOperands(); i > 0; --i) s += std::string(" ") + rng_.pick(kTermOps) + " " + numFactor(d);
        return s;
    }

    std::string numExpr(int d) {
        std::string s;
        if (rng_.chance(10)) s = rng_.chance(70) ? "- " : "+ ";
        s += numTerm(d);
        for (int i = moreOperands(); i > 0; --i) s += std::string(rng_.chance(50) ? " + " : " - ") + numTerm(d);
        if (rng_.chance(5)) s += std::string(rng_.chance(50) ? " + " : " - ") + strFactor(d);
        return s;
    }

    // A count or start of LSTR, RSTR or MSTR.
    std::string smallArgument() {
        switch (rng_.below(6)) {
            case 0: return rng_.pick(kNumbers);
            case 1: return std::string("- ") + rng_.pick(kNumbers);
            case 2: return rng_.pick(kNumVars);
            case 3: return rng_.pick(kPtrVars);
            case 4: return rng_.pick(kStrVars);
            default: return std::to_string(rng_.below(8));
        }
    }

    std::string substring() {
        constexpr const char* kNames[] = {"LSTR", "RSTR", "MSTR"};
        const char* name = rng_.pick(kNames);
        std::string source = rng_.chance(60) ? rng_.pick(kStrVars) : rng_.chance(70) ? rng_.pick(kStrings) : "x";
        std::string s = std::string(name) + " ( " + source;
        if (rng_.chance(95)) s += " , " + smallArgument();
        if (std::string(name) == "MSTR" && rng_.chance(95)) s += " , " + smallArgument();
        return s + " )";
    }

    std::string strFactor(int d) {
        if (d >= kMaxDepth) return rng_.chance(50) ? rng_.pick(kStrings) : rng_.pick(kStrVars);
        uint32_t r = rng_.below(100);
        if (r < 24) return rng_.pick(kStrings);
        if (r < 42) return rng_.pick(kStrVars);
        if (r < 50) return "w [ " + subscript(d) + " ]";
        if (r < 60) {
            // The checker wants a name or a number two tokens after STRS.
            std::string s = "STRS ( " + atom();
            if (rng_.chance(40)) s += std::string(" ") + rng_.pick(kTermOps) + " " + numTerm(d + 1);
            if (rng_.chance(30)) s += std::string(rng_.chance(50) ? " + " : " - ") + numTerm(d + 1);
            return s + " )";
        }
        if (r < 65) return rng_.chance(50) ? "CHRS " + numFactor(d + 1) : "CHRS ( " + numExpr(d + 1) + " )";
        if (r < 80) return substring();
        if (r < 85) return "( " + strExpr(d + 1) + " )";
        if (r < 90) return rng_.chance(50) ? rng_.pick(kNumbers) : rng_.pick(kNumVars);
        if (r < 93) return "( " + malformed() + " )";
        return joined(strFactor(d + 1), strFactor(d + 1));
    }

    std::string strExpr(int d) {
        std::string s = rng_.chance(8) ? "+ " : "";
        s += strFactor(d);
        for (int i = moreOperands(); i > 0; --i) s += " + " + strFactor(d);
        return s;
    }

    std::string comparisonLeft(int d) {
        uint32_t r = rng_.below(100);
        std::string s;
        if (r < 45) s = rng_.pick(kNumVars);
        else if (r < 55) s = rng_.pick(kPtrVars);
        else if (r < 68) s = std::string(rng_.chance(60) ? "n" : "m") + " [ " + subscript(d) + " ]";
        else if (r < 80) s = rng_.pick(kStrVars);
        else if (r < 88) s = "w [ " + subscript(d) + " ]";
        else return rng_.chance(50) ? numExpr(d) : strExpr(d);  // does not start with a name
        if (rng_.chance(25)) {
            bool text = r >= 68 && r < 88;
            s += text ? " + " + strFactor(d) : std::string(" ") + (rng_.chance(50) ? "+" : "*") + " " + numTerm(d);
        }
        return s;
    }

    std::string comparisonRight(int d) {
        switch (rng_.below(8)) {
            case 0:
            case 1: return rng_.pick(kNumVars);
            case 2: return rng_.pick(kNumbers);
            case 3: return "( " + numExpr(d + 1) + " )";
            case 4: return rng_.pick(kStrVars);
            case 5: return rng_.pick(kStrings);
            case 6: return std::string(rng_.chance(50) ? "n" : "w") + " [ " + subscript(d) + " ]";
            default: return rng_.chance(50) ? numExpr(d + 1) : strExpr(d + 1);
        }
    }

    std::string comparison(int d) {
        std::string op = rng_.chance(92) ? rng_.pick(kComparisons) : rng_.chance(50) ? "+" : ":";
        return comparisonLeft(d) + " " + op + " " + comparisonRight(d);
    }

    std::string condition(int d) {
        std::string s = comparison(d);
        int joins = static_cast<int>(rng_.below(4));
        for (int i = 0; i < joins; ++i) s += std::string(rng_.chance(50) ? " & " : " | ") + comparison(d);
        return s;
    }

    Rng rng_;
};

// Values of the corpus's variables and elements: the usual and the awkward.
void fillMemory(Vm& vm, Rng& rng) {
    const float kValues[] = {0.0f, -0.0f, 1.0f, 2.0f, 2.5f, -3.0f, 7.0f, 0.1f, 1e10f, 16777217.0f,
                                 -1.0f, 19.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), 3.0f};
    constexpr int32_t kPointers[] = {0, 1, 2, 7, -5, 16777217, 2147483647, -2147483647 - 1, 19};
    constexpr const char* kTexts[] = {"", "abc", "A", "12", "-3.5", "\xff", "abcd", "Hello"};
    const CheckerState& ck = vm.symbols;
    for (size_t v = 1; v < ck.vars.size(); ++v) {
        VariableValue& val = vm.memory.vars[v];
        if (ck.vars[v].type == TYPE_NUM) val.num = declaredName(vm.tokens, ck.vars[v].nameToken) == "r" ? 0.0f : kValues[rng.below(15)];
        if (ck.vars[v].type == TYPE_PTR) val.ptr = kPointers[rng.below(9)];
        if (ck.vars[v].type == TYPE_STR) val.str = kTexts[rng.below(8)];
    }
    for (size_t a = 1; a < ck.arrays.size(); ++a) {
        ArrayElements& e = vm.memory.arrays[a];
        for (size_t i = 0; i < 24; ++i) {
            if (!e.nums.empty()) e.nums[i] = kValues[rng.below(15)];
            if (!e.ptrs.empty()) e.ptrs[i] = kPointers[rng.below(9)];
            if (!e.strs.empty()) e.strs[i] = kTexts[rng.below(8)];
        }
    }
}

// How many tokens of the loaded script carry each one-step flag.
struct FlagCounts {
    static constexpr uint16_t kFlags[] = {RF_LITERAL, RF_NUMVAR, RF_ALONE,   RF_TERM2,   RF_SUM2,   RF_CMP2,
                                          RF_GROUP3,  RF_ELEMENT, RF_NUMSET, RF_ELEMSET, RF_CMPELEM, RF_PROGRAM};
    int64_t count[std::size(kFlags)] = {};

    void add(const Vm& vm) {
        for (int32_t i = 1; i <= vm.tokens.count; ++i)
            for (size_t f = 0; f < std::size(kFlags); ++f)
                if (runAt(vm, i).flags & kFlags[f]) ++count[f];
    }
};

// Loads a batch, regenerating any line the front end rejects (a name before
// "(" or "[" that is no function or array, say). Returns the accepted lines.
std::vector<std::string> loadBatch(DiffMachine& m, Generator& gen, int lines, int& rejected) {
    std::vector<std::string> batch;
    for (int i = 0; i < lines; ++i) batch.push_back(gen.line());
    for (int attempt = 0;; ++attempt) {
        std::string source = kPrologue;
        for (const std::string& l : batch) source += l + "\n";
        std::string box = m.load(source);
        if (box.empty()) return batch;
        int index = m.boxLine() - kPrologueLines - 1;
        if (attempt > 10 * lines || index < 0 || index >= lines) {
            ADD_FAILURE() << "the front end rejects the corpus: " << box;
            return {};
        }
        batch[static_cast<size_t>(index)] = gen.line();
        ++rejected;
    }
}

TEST(FastPaths, AgreeWithTheLongWayOnAFixedCorpus) {
    constexpr int kBatches = 200;
    constexpr int kLinesPerBatch = 500;
    DiffMachine machine;
    Generator gen(20261209);
    Rng values(7);
    FlagCounts flags;
    int64_t readings = 0;
    int rejected = 0;
    int reported = 0;
    for (int b = 0; b < kBatches; ++b) {
        std::vector<std::string> batch = loadBatch(machine, gen, kLinesPerBatch, rejected);
        ASSERT_EQ(batch.size(), static_cast<size_t>(kLinesPerBatch));
        fillMemory(machine.vm(), values);
        flags.add(machine.vm());
        std::vector<int32_t> starts = machine.lineStarts(kPrologueLines + 1);
        ASSERT_EQ(starts.size(), batch.size());
        readings += static_cast<int64_t>(starts.size() * std::size(kReadings));
        for (const Mismatch& mm : machine.compareAll(starts, 2)) {
            size_t line = static_cast<size_t>(std::find(starts.begin(), starts.end(), mm.start) - starts.begin());
            if (++reported <= 10) ADD_FAILURE() << batch[line] << "\n  " << mm.what;
        }
    }
    EXPECT_EQ(reported, 0) << "readings that differ";
    EXPECT_EQ(readings, int64_t{kBatches} * kLinesPerBatch * 4);
    // The corpus is worth as much as the one-step shapes it holds, and the
    // front end accepts nearly all of it.
    for (size_t f = 0; f < std::size(FlagCounts::kFlags); ++f)
        EXPECT_GT(flags.count[f], 2000) << "flag " << FlagCounts::kFlags[f];
    EXPECT_LT(rejected, kBatches * kLinesPerBatch / 100);
}

}  // namespace
}  // namespace tessel::fastpath
