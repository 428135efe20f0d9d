#include "diff/generator.h"

#include <vector>

namespace tessel::diff {

namespace {

// A small deterministic generator (the same programs on every platform).
class Rng {
   public:
    explicit Rng(uint64_t seed) : s_(seed * 0x9e3779b97f4a7c15ull + 1) {}
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

constexpr const char* kNumbers[] = {"0", "1", "2", "3", "7", "10", "0.5", "2.5", "1.2.3", "16777217", "3.0",
                                    "100", "0.1", "255", "20", "12"};
constexpr const char* kNumVars[] = {"a", "b", "x", "y", "z"};
constexpr const char* kPtrVars[] = {"p", "q"};
constexpr const char* kStrVars[] = {"s", "t", "u"};
constexpr const char* kStrings[] = {"\"\"", "\"abc\"", "\"A\"", "\"12\"", "\"+\"", "\"(\"", "\"-3.5\"", "\"7up\"",
                                    "\"Hello\"", "\"&HFF\""};
constexpr const char* kTermOps[] = {"*", "/", "%", "^"};
constexpr const char* kPlainFunctions[] = {"INT", "ABS", "SQR", "LOG", "ROUND", "FRAC", "ATAN"};
constexpr const char* kParenFunctions[] = {"SIN", "COS", "TAN", "RND", "RAND"};
constexpr const char* kComparisons[] = {"=", "!", "<", ">"};
// Tokens that may follow a statement and start none (or start odd ones).
constexpr const char* kStrays[] = {"", "", "", "", "", "", ": 5", ", 3", ": ( 2 )", "\"A\"", "+ \"A\"", "- s",
                                   "x", "5", "TO 9", "STEP 2", "* 2", "+", "-", "^", "n [ 1 ]", "+ 1",
                                   "ABS 2", "+ STRS ( 5 )", "NEXT", "FOR"};
constexpr const char* kMessages[] = {"WMLBUTTONDOWN", "WMRBUTTONDOWN", "WMMOUSEMOVE", "WMKEYDOWN",
                                     "WMKEYUP",       "WMTIMER",       "WMCOMMAND"};

class ProgramMaker {
   public:
    explicit ProgramMaker(uint64_t seed) : rng_(seed) {}

    GeneratedProgram make() {
        GeneratedProgram g;
        functions_ = static_cast<int>(rng_.below(4));
        labels_ = 1 + static_cast<int>(rng_.below(4));
        std::string s;
        s += "VAR a , b , x , y , z , c0 , c1 , c2 , d , n [ 20 ] , m [ 8 ]\n";
        s += "STR s , t , u , w [ 10 ]\n";
        s += "PTR p , q , k [ 10 ]\n";
        int placed = 0;
        const int main = 4 + static_cast<int>(rng_.below(30));
        for (int i = 0; i < main; ++i) {
            if (placed < labels_ && rng_.chance(15)) s += "LABEL L" + std::to_string(placed++) + "\n";
            s += statement(0);
        }
        // Functions sit in the middle of the main program, which passes
        // over them, or after a GOTO.
        for (int f = 0; f < functions_; ++f) {
            s += "FUNC f" + std::to_string(f) + " ( )\n";
            const int body = 1 + static_cast<int>(rng_.below(5));
            for (int i = 0; i < body; ++i) {
                if (placed < labels_ && rng_.chance(10)) s += "LABEL L" + std::to_string(placed++) + "\n";
                s += statement(1);
            }
            s += "ENDFN\n";
        }
        for (int i = 0; i < 3; ++i) s += statement(0);
        while (placed < labels_) s += "LABEL L" + std::to_string(placed++) + "\n" + statement(0);
        const int blocks = static_cast<int>(rng_.below(4));
        for (int b = 0; b < blocks; ++b) {
            s += std::string("WINMSG ") + rng_.pick(kMessages) + "\n";
            const int body = 1 + static_cast<int>(rng_.below(5));
            for (int i = 0; i < body; ++i) s += statement(1);
            s += "ENDWM\n";
        }
        if (rng_.chance(20)) s += statement(0);  // after the last block: never run by the main program
        g.source = s;
        if (blocks > 0 || rng_.chance(20)) g.events = events();
        return g;
    }

   private:
    static constexpr int kMaxDepth = 3;

    std::string counter(int depth) { return "c" + std::to_string(depth % 3); }

    std::string statement(int depth) {
        const uint32_t r = rng_.below(100);
        std::string line;
        if (r < 22) line = std::string(rng_.pick(kNumVars)) + " = " + numExpr(0);
        else if (r < 32) line = stringAssignment();
        else if (r < 35) line = std::string(rng_.pick(kPtrVars)) + " = " + numExpr(0);
        else if (r < 41) line = elementAssignment();
        else if (r < 49 && depth < kMaxDepth) return ifBlock(depth);
        else if (r < 55 && depth < kMaxDepth) return whileBlock(depth);
        else if (r < 57 && depth == 0) return jumpIntoBlock();
        else if (r < 58) line = "GOTO L" + std::to_string(rng_.below(static_cast<uint32_t>(labels_)));
        else if (r < 64 && functions_ > 0) line = call();
        else if (r < 72) line = print();
        else if (r < 80) line = drawing();
        else if (r < 86) line = eventStatement();
        else if (r < 89) line = inputBox();
        else if (r < 92) line = errorStatement();
        else if (r < 95) line = stray();
        else line = std::string(rng_.pick(kNumVars)) + " = " + numExpr(0) + " : " + std::string(rng_.pick(kStrVars)) +
                    " = " + strExpr(0);
        if (rng_.chance(15)) line += std::string(" ") + rng_.pick(kStrays);
        return line + "\n";
    }

    // --- expressions -------------------------------------------------------------

    std::string atom() {
        switch (rng_.below(4)) {
            case 0:
            case 1: return rng_.pick(kNumbers);
            case 2: return rng_.pick(kNumVars);
            default: return rng_.pick(kPtrVars);
        }
    }

    std::string numFactor(int d) {
        if (d >= 3) return atom();
        uint32_t r = rng_.below(100);
        if (r < 25) return rng_.pick(kNumbers);
        if (r < 45) return rng_.pick(kNumVars);
        if (r < 50) return rng_.pick(kPtrVars);
        if (r < 52) return rng_.pick(kStrVars);
        if (r < 60) return std::string(rng_.chance(70) ? "n" : "m") + " [ " + numExpr(d + 1) + " ]";
        if (r < 62) return "k [ " + atom() + " ]";
        if (r < 70) return "( " + numExpr(d + 1) + " )";
        if (r < 75) return std::string(rng_.chance(70) ? "- " : "+ ") + numFactor(d + 1);
        if (r < 81) return std::string(rng_.pick(kPlainFunctions)) + " " + numFactor(d + 1);
        if (r < 86) return std::string(rng_.pick(kParenFunctions)) + " ( " + numExpr(d + 1) + " )";
        if (r < 90) return std::string(rng_.chance(50) ? "VAL " : "LEN ") + strFactor(d + 1);
        if (r < 93) return "w [ " + atom() + " ]";
        return "[ " + numExpr(d + 1) + " ]";
    }

    std::string numTerm(int d) {
        std::string s = numFactor(d);
        for (int k = rng_.below(100) < 60 ? 0 : 1 + static_cast<int>(rng_.below(2)); k > 0; --k)
            s += std::string(" ") + rng_.pick(kTermOps) + " " + numFactor(d);
        return s;
    }

    std::string numExpr(int d) {
        std::string s = rng_.chance(10) ? "- " : "";
        s += numTerm(d);
        for (int k = rng_.below(100) < 55 ? 0 : 1 + static_cast<int>(rng_.below(2)); k > 0; --k)
            s += std::string(rng_.chance(50) ? " + " : " - ") + numTerm(d);
        return s;
    }

    std::string smallArg() {
        uint32_t r = rng_.below(5);
        std::string sign = rng_.chance(20) ? "- " : "";
        if (r < 2) return sign + rng_.pick(kNumbers);
        if (r < 4) return sign + rng_.pick(kNumVars);
        return sign + rng_.pick(kPtrVars);
    }

    std::string strFactor(int d) {
        if (d >= 3) return rng_.chance(50) ? rng_.pick(kStrings) : rng_.pick(kStrVars);
        uint32_t r = rng_.below(100);
        std::string src = rng_.chance(80) ? rng_.pick(kStrVars) : rng_.pick(kStrings);
        if (r < 25) return rng_.pick(kStrings);
        if (r < 45) return rng_.pick(kStrVars);
        if (r < 52) return "w [ " + numExpr(d + 1) + " ]";
        if (r < 60) return "STRS ( " + std::string(rng_.pick(kNumVars)) + " " + (rng_.chance(50) ? "* 2 " : "") + ")";
        if (r < 65) return "CHRS " + numFactor(d + 1);
        if (r < 70) return "LSTR ( " + src + " , " + smallArg() + " )";
        if (r < 75) return "RSTR ( " + src + " , " + smallArg() + " )";
        if (r < 80) return "MSTR ( " + src + " , " + smallArg() + " , " + smallArg() + " )";
        if (r < 85) return "( " + strExpr(d + 1) + " )";
        if (r < 88) return rng_.pick(kNumVars);  // no string: the expression ends
        if (r < 90) return std::string(rng_.pick(kStrVars)) + " " + rng_.pick(kStrings);  // two alternatives
        return rng_.pick(kStrings);
    }

    std::string strExpr(int d) {
        std::string s = rng_.chance(5) ? "+ " : "";
        s += strFactor(d);
        for (int k = rng_.below(100) < 50 ? 0 : 1 + static_cast<int>(rng_.below(3)); k > 0; --k)
            s += " + " + strFactor(d);
        return s;
    }

    // An expression whose first token is a name, a number or "(" (what the
    // checker wants after PRINT, PSET, LINE and RECT and on the right of an
    // IF's comparison).
    std::string plainStart() {
        if (rng_.chance(20)) return "( " + numExpr(1) + " )";
        std::string s = atom();
        if (rng_.chance(40)) s += std::string(rng_.chance(50) ? " + " : " * ") + numTerm(1);
        return s;
    }

    // One comparison; its second token is an operator or "[" and its third a
    // name, number, string or "(" (all that the checker looks at in an IF).
    std::string comparison() {
        uint32_t r = rng_.below(100);
        std::string op = rng_.pick(kComparisons);
        if (r < 45) return std::string(rng_.pick(kNumVars)) + " " + op + " " + plainStart();
        if (r < 55) return std::string(rng_.pick(kPtrVars)) + " " + op + " " + atom();
        if (r < 70) {
            std::string right = rng_.chance(50) ? rng_.pick(kStrVars) : rng_.pick(kStrings);
            if (rng_.chance(40)) right += " + " + strFactor(1);
            return std::string(rng_.pick(kStrVars)) + " " + op + " " + right;
        }
        if (r < 80) return "n [ " + atom() + " ] " + op + " " + atom();
        if (r < 85) return "w [ " + atom() + " ] " + op + " " + rng_.pick(kStrings);
        return std::string(rng_.pick(kNumVars)) + " " + op + " ( " + numExpr(1) + " )";
    }

    // Three tokens: a variable, an operator, a name, number or string.
    std::string shortComparison() {
        if (rng_.chance(20)) return std::string(rng_.pick(kStrVars)) + " " + rng_.pick(kComparisons) + " " + rng_.pick(kStrings);
        return std::string(rng_.pick(kNumVars)) + " " + rng_.pick(kComparisons) + " " + atom();
    }

    // A condition the checker accepts for IF (both comparisons around the
    // first join short) or WHILE (a short first comparison).
    std::string condition(bool forWhile) {
        if (!rng_.chance(25)) return forWhile ? shortComparison() : comparison();
        std::string joined = shortComparison() + (rng_.chance(50) ? " & " : " | ") + shortComparison();
        for (int k = static_cast<int>(rng_.below(3)); k > 0; --k)
            joined += std::string(rng_.chance(50) ? " & " : " | ") + comparison();
        return joined;
    }

    // --- statements ----------------------------------------------------------------

    std::string stringAssignment() {
        std::string v = rng_.pick(kStrVars);
        if (rng_.chance(20)) return v + " = " + v + " + " + strFactor(1);  // appended in place
        return v + " = " + strExpr(0);
    }

    std::string elementAssignment() {
        switch (rng_.below(4)) {
            case 0:
            case 1: return "n [ " + numExpr(1) + " ] = " + numExpr(0);
            case 2: return "w [ " + atom() + " ] = " + strExpr(0);
            default: return "k [ " + atom() + " ] = " + numExpr(0);
        }
    }

    std::string ifBlock(int depth) {
        std::string s = "IF " + condition(false) + "\n";
        if (rng_.chance(10)) s = "IF [ [ x ] ] = 1\n";  // no name first: the last flag decides
        const int body = 1 + static_cast<int>(rng_.below(4));
        for (int i = 0; i < body; ++i) s += statement(depth + 1);
        if (rng_.chance(50)) {
            s += "ELSE\n";
            for (int i = 1 + static_cast<int>(rng_.below(3)); i > 0; --i) s += statement(depth + 1);
        }
        return s + "ENDIF\n" + passiveLines();
    }

    // Lines of tokens that start no statement after a block's end, so that
    // the end and what follows it make long runs of them, which jumps may
    // land in the middle of.
    std::string passiveLines() {
        static constexpr const char* kLines[] = {"\n", "\n\n", "NEXT\n", "FOR TO\n", "ENDIF\n"};
        if (!rng_.chance(30)) return {};
        const std::string line = rng_.pick(kLines);
        // (An ENDIF alone would unbalance the blocks: it comes with an IF.)
        return line == "ENDIF\n" ? "IF [ [ x ] ] = 1 : ENDIF\n\n" : line;
    }

    std::string whileBlock(int depth) {
        const std::string c = counter(depth);
        std::string s;
        if (rng_.chance(80)) {
            s = c + " = 0\nWHILE " + c + " < " + std::to_string(1 + rng_.below(6)) + "\n";
            s += c + " = " + c + " + 1\n";
        } else {
            s = "WHILE " + condition(true) + "\n";
        }
        const int body = 1 + static_cast<int>(rng_.below(4));
        for (int i = 0; i < body; ++i) s += statement(depth + 1);
        return s + "WEND\n" + passiveLines();
    }

    // A GOTO into a block, and later a GOTO back before the block, so that
    // the block's own jumps are read after the code they lead to (a run of
    // tokens that start no statement is then entered in its middle).
    std::string jumpIntoBlock() {
        const std::string in = "J" + std::to_string(jumps_) + "in", back = "J" + std::to_string(jumps_) + "back";
        ++jumps_;
        std::string s = "GOTO " + in + "\nLABEL " + back + "\n";
        const bool loop = rng_.chance(50);
        s += loop ? "c2 = 0\nWHILE c2 < 2\nc2 = c2 + 1\n" : "IF " + condition(false) + "\n";
        s += statement(2) + "LABEL " + in + "\n" + statement(2);
        s += loop ? "WEND\n" : "ENDIF\n";
        s += rng_.chance(50) ? "NEXT\n\n" : "\n";
        s += statement(2);
        return s + "IF d < 3 : d = d + 1 : GOTO " + back + " : ENDIF\n";
    }

    std::string call() {
        std::string f = "f" + std::to_string(rng_.below(static_cast<uint32_t>(functions_)));
        // A call guarded by a depth count, so recursion ends; sometimes not.
        if (rng_.chance(70)) return "IF d < 4 : d = d + 1 : " + f + " ( ) : d = d - 1 : ENDIF";
        return f + " ( )";
    }

    std::string print() {
        std::string at = plainStart() + " , " + numExpr(1) + " , ";
        switch (rng_.below(8)) {
            case 0: return "PRINT " + at + rng_.pick(kNumVars);
            case 1: return "PRINT " + at + rng_.pick(kStrVars);
            case 2: return "PRINT " + at + rng_.pick(kStrings);
            case 3: return "PRINT " + at + "( " + numExpr(1) + " )";
            case 4: return "PRINT " + at + "w [ " + atom() + " ]";
            case 5: return "PRINT " + at + "n [ " + atom() + " ]";
            case 6: return "PRINT " + at + rng_.pick(kPtrVars);
            default: return "PRINT " + at + rng_.pick(kNumbers);
        }
    }

    std::string value() { return rng_.chance(60) ? std::to_string(rng_.below(300)) : rng_.pick(kNumVars); }

    std::string drawing() {
        switch (rng_.below(10)) {
            case 0: return "PSET " + plainStart() + " , " + numExpr(1);
            case 1: return "LINE " + atom() + " , " + atom() + " , " + numExpr(1) + " , " + atom();
            case 2: return "RECT " + atom() + " , " + atom() + " , " + atom() + " , " + atom();
            case 3: return "CIRCLE " + atom() + " , " + atom() + " , " + atom();
            case 4: return "FCOLOR " + value() + " , " + value() + " , " + value();
            case 5: return "WCOLOR " + value() + " , " + value() + " , " + value();
            case 6: return "BCOLOR " + value() + " , " + value() + " , " + value();
            case 7: return "SWAP";
            case 8: return std::string(rng_.chance(50) ? "PLOT " : "DRAW ") + atom() + " , " + atom();
            default: return "SETFONT " + atom() + " , " + atom() + " , 400 , " + strExpr(1);
        }
    }

    std::string eventStatement() {
        switch (rng_.below(8)) {
            case 0: return std::string("MOUSEX ") + rng_.pick(kNumVars);
            case 1: return std::string("MOUSEY ") + rng_.pick(kNumVars);
            case 2: return std::string("HWPARAM ") + (rng_.chance(70) ? rng_.pick(kNumVars) : rng_.pick(kPtrVars));
            case 3: return std::string("HLPARAM ") + rng_.pick(kNumVars);
            case 4: return std::string("GETTICK ") + rng_.pick(kNumVars);
            case 5: return std::string("TIMERON ") + (rng_.chance(50) ? "20" : rng_.pick(kNumVars));
            case 6: return "TIMEROFF";
            default: return "MODE " + std::string(rng_.chance(50) ? "1" : "0");
        }
    }

    std::string inputBox() {
        switch (rng_.below(5)) {
            case 0: return "INPUTBOX p , 10 , 10 , 100 , 20 , " + strExpr(1);
            case 1: return std::string("SETTEXT p , ") + (rng_.chance(70) ? rng_.pick(kStrVars) : rng_.pick(kStrings));
            case 2: return std::string("GETTEXT p , ") + rng_.pick(kStrVars);
            case 3: return std::string("SETFOCUS ") + (rng_.chance(70) ? "p" : "x");
            default: return "SETTEXT x , " + std::string(rng_.pick(kNumVars));  // a misused handle and text
        }
    }

    // Statements that end the run, or may.
    std::string errorStatement() {
        switch (rng_.below(5)) {
            case 0: return std::string(rng_.pick(kStrVars)) + " = \"a\" + 5";
            case 1: return std::string(rng_.pick(kStrVars)) + " = " + rng_.pick(kStrVars) + " + 2";
            case 2: return "GOTO L" + std::to_string(rng_.below(static_cast<uint32_t>(labels_)));
            case 3: return "a = " + std::string(1001, '(') + "1" + std::string(1001, ')');
            default: {
                const size_t deep = 3 + rng_.below(3);
                return "x = " + std::string(deep, '(') + "RND ( 1 ) " + std::string(deep, ')');
            }
        }
    }

    // Tokens that start no statement (or odd ones).
    std::string stray() {
        static constexpr const char* kTokens[] = {"5", "+", ",", ":", "x", "\"q\"", "ABS", "FOR", "TO", "NEXT"};
        std::string s = rng_.pick(kTokens);
        for (int k = static_cast<int>(rng_.below(4)); k > 0; --k) s += std::string(" ") + rng_.pick(kTokens);
        return s;
    }

    std::string events() {
        std::string e;
        for (int k = 1 + static_cast<int>(rng_.below(8)); k > 0; --k) {
            const int x = static_cast<int>(rng_.below(800)), y = static_cast<int>(rng_.below(600));
            switch (rng_.below(9)) {
                case 0: e += "click " + std::to_string(x) + " " + std::to_string(y) + "\n"; break;
                case 1: e += "rclick " + std::to_string(x) + " " + std::to_string(y) + "\n"; break;
                case 2: e += "move " + std::to_string(x) + " " + std::to_string(y) + "\n"; break;
                case 3: e += "keydown " + std::to_string(32 + rng_.below(60)) + "\n"; break;
                case 4: e += "keyup " + std::to_string(32 + rng_.below(60)) + "\n"; break;
                case 5: e += "type ab\n"; break;
                case 6: e += "command " + std::to_string(1 + rng_.below(2)) + "\n"; break;
                case 7: e += "wait " + std::to_string(rng_.below(300)) + "\n"; break;
                default: e += "keydown 13\n"; break;
            }
        }
        return e;
    }

    Rng rng_;
    int functions_ = 0;
    int labels_ = 1;
    int jumps_ = 0;  // blocks entered by a GOTO so far
};

}  // namespace

GeneratedProgram generateProgram(uint64_t seed) { return ProgramMaker(seed).make(); }

}  // namespace tessel::diff
