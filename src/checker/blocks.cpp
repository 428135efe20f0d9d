// Labels, functions, event blocks, GOTO binding and block matching.
#include <array>
#include <vector>

#include "checker/check_context.h"

namespace tessel {

namespace {

// Message names a WINMSG block may handle, with the slot that records it.
struct MessageName {
    std::string_view name;
    EventSlot slot;
};
constexpr std::array<MessageName, 7> kMessageNames{{
    {"WMMOUSEMOVE", SLOT_MOUSEMOVE},
    {"WMKEYDOWN", SLOT_KEYDOWN},
    {"WMTIMER", SLOT_TIMER},
    {"WMCOMMAND", SLOT_COMMAND},
    {"WMKEYUP", SLOT_KEYUP},
    {"WMLBUTTONDOWN", SLOT_LBUTTONDOWN},
    {"WMRBUTTONDOWN", SLOT_RBUTTONDOWN},
}};

// One block-matching rule: the first counter must not exceed the second.
// The keywords (`opens` starts a block, `closes` ends one) place the error.
struct BlockRule {
    BlockCounter more, fewer;
    std::string_view caption, text;
    int32_t opens, closes;
    bool tooManyOpen;  // the rule is about a block left open (not a stray end)
};
constexpr std::array<BlockRule, 8> kBlockRules{{
    {BC_WHILE, BC_WEND, "LOOP ERROR", "WHILE without WEND , check code!", KW_WHILE, KW_WEND, true},
    {BC_WEND, BC_WHILE, "LOOP ERROR", "WEND without WHILE , check code!", KW_WHILE, KW_WEND, false},
    {BC_IF, BC_ENDIF, "IF/ENDIF ERROR", "IF without ENDIF , check code!", KW_IF, KW_ENDIF, true},
    {BC_ENDIF, BC_IF, "IF/ENDIF ERROR", "ENDIF without IF , check code!", KW_IF, KW_ENDIF, false},
    {BC_FUNC, BC_ENDFN, "FUNC ERROR", "FUNC without ENDFN , check code!", KW_FUNC, KW_ENDFN, true},
    {BC_ENDFN, BC_FUNC, "FUNC ERROR", "ENDFN without FUNC , check code!", KW_FUNC, KW_ENDFN, false},
    {BC_WINMSG, BC_ENDWM, "WMSG ERROR", "WINMSG without ENDWM , check code!", KW_WINMSG, KW_ENDWM, true},
    {BC_ENDWM, BC_WINMSG, "WMSG ERROR", "ENDWM without WINMSG, check code!", KW_WINMSG, KW_ENDWM, false},
}};

// The block a counting error concerns, matched by nesting: each end closes
// the latest block still open. A block left open is the innermost one still
// open at the end; a stray end is the first end that finds none open.
int32_t unmatchedBlock(const CheckContext& ctx, const BlockRule& r) {
    std::vector<int32_t> open;
    for (int32_t i = 1; i <= ctx.count(); ++i) {
        const int32_t c = ctx.cls(i);
        if (c == r.opens) {
            open.push_back(i);
        } else if (c == r.closes) {
            if (open.empty()) {
                if (!r.tooManyOpen) return i;
                continue;
            }
            open.pop_back();
        }
    }
    return r.tooManyOpen && !open.empty() ? open.back() : 0;
}

std::string unmatchedHint(const CheckContext& ctx, const BlockRule& r, int32_t at) {
    const std::string written = upperAscii(ctx.text(at));
    const std::string_view closes = keywordText(r.closes), start = keywordText(r.opens);
    if (r.tooManyOpen) {
        const std::string& opens = written;
        return "this " + opens + " has no " + std::string(closes) + " (blocks are matched by nesting: each " +
               std::string(closes) + " closes the latest " + opens + " still open); add " + std::string(closes) +
               " where its block ends";
    }
    return "this " + written + " has no " + std::string(start) + " before it (blocks are matched by nesting: each " +
           written + " closes the latest " + std::string(start) + " still open); remove it or add its " +
           std::string(start);
}

}  // namespace

// Records the name after every LABEL. Duplicates are allowed; GOTO binds to
// the first.
bool collectLabels(CheckContext& ctx) {
    int line = 1;
    for (int32_t j = 1; j <= ctx.count(); ++j) {
        if (ctx.cls(j) == CLS_EOL) ++line;
        if (ctx.cls(j) != KW_LABEL) continue;
        if (!ctx.isName(j + 1)) return ctx.failQuoting("ERROR~LABEL", "Label witout name! -{ ", j + 1, line);
        ctx.labelByName.addFirst(j + 1);
    }
    return true;
}

// Records every FUNC name followed by an empty pair of parentheses; a name
// without them is not a function, and calls to it fail later.
bool collectFunctions(CheckContext& ctx) {
    int line = 1;
    for (int32_t j = 1; j <= ctx.count(); ++j) {
        if (ctx.cls(j) == CLS_EOL) ++line;
        if (ctx.cls(j) != KW_FUNC) continue;
        if (!ctx.isName(j + 1)) return ctx.failQuoting("ERROR~FUNC", "Function witout name! -{ ", j + 1, line);
        if (ctx.cls(j + 2) != CLS_LPAR || ctx.cls(j + 3) != CLS_RPAR) continue;
        ctx.state.bind(j + 1, BIND_CALL, j + 1);
        ctx.funcByName.addFirst(j + 1);
    }
    return true;
}

// A WINMSG block: its message-name token goes into that message's slot; a
// later block for the same message replaces an earlier one.
bool registerEventBlock(CheckContext& ctx, int32_t i, int line) {
    if (!ctx.isName(i + 1)) return ctx.failQuoting("ERROR~WIN_MSG", "Invalid Argument(1)! -{ ", i + 1, line);
    std::string name = upperAscii(ctx.text(i + 1));
    for (const MessageName& m : kMessageNames) {
        if (m.name != name) continue;
        ctx.state.slots[m.slot] = i + 1;
        return true;
    }
    return ctx.failQuoting("ERROR", "Message not valid! -{ ", i + 1, line);
}

// A GOTO: the name after it is bound to the first label of that name.
bool bindGoto(CheckContext& ctx, int32_t i, int line) {
    if (!ctx.isName(i + 1)) return ctx.failQuoting("ERROR~GOTO", "Goto witout name! -{ ", i + 1, line);
    int32_t label = ctx.labelByName.firstToken(ctx.text(i + 1));
    if (label == 0)
        return ctx.fail("ERROR~GOTO",
                        "Cannot found label :" + std::string(ctx.text(i + 1)) + " -Line: " + std::to_string(line),
                        i + 1);
    ctx.state.bind(i + 1, BIND_GOTO, label);
    return true;
}

// Blocks are matched by their totals only; order and nesting are the run's
// business.
bool matchBlocks(CheckContext& ctx) {
    const auto& c = ctx.state.counters;
    for (const BlockRule& r : kBlockRules) {
        if (c[r.more] <= c[r.fewer]) continue;
        // The box names no line; the place and the hint name the block.
        const int32_t at = unmatchedBlock(ctx, r);
        if (at == 0) return ctx.fail(r.caption, std::string(r.text), 0);
        return ctx.fail(r.caption, std::string(r.text), at, unmatchedHint(ctx, r, at));
    }
    return true;
}

}  // namespace tessel
