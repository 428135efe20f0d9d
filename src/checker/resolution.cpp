// The resolution pass: every identifier used as a variable, an array or a
// function call is bound to its table entry, so the run never looks names up.
#include "checker/check_context.h"

namespace tessel {

namespace {

// The names after these keywords are labels, functions and message names,
// bound by passes of their own.
bool namesTarget(int32_t code) {
    return code == KW_LABEL || code == KW_GOTO || code == KW_FUNC || code == KW_WINMSG;
}

// A call: bound to the first function of that name. Whatever stands inside
// the parentheses does not change the binding.
bool bindCall(CheckContext& ctx, int32_t i, int line) {
    int32_t k = ctx.funcByName.firstToken(ctx.text(i));
    if (k == 0) return ctx.failQuoting("FN_ERROR", "Function not found! -{ ", i, line);
    ctx.state.bind(i, BIND_CALL, k);
    return true;
}

bool bindArray(CheckContext& ctx, int32_t i, int line) {
    int32_t a = ctx.state.arrayAt(ctx.arrayByName.firstToken(ctx.text(i)));
    if (a == 0) return ctx.failQuoting("ERROR", "Array ID not found! -{ ", i, line);
    ctx.state.bind(i, BIND_ARRAY, a);
    return true;
}

bool bindVariable(CheckContext& ctx, int32_t i, int line) {
    int32_t v = ctx.state.varAt(ctx.varByName.firstToken(ctx.text(i)));
    if (v == 0) return ctx.failQuoting("ERROR", "Variable ID not found! -{ ", i, line);
    ctx.state.bind(i, BIND_VAR, v);
    return true;
}

}  // namespace

bool resolveNames(CheckContext& ctx) {
    int line = 1;
    for (int32_t i = 1; i <= ctx.count(); ++i) {
        if (ctx.cls(i) == CLS_EOL) ++line;
        if (!ctx.isName(i) || namesTarget(ctx.cls(i - 1))) continue;
        int32_t next = ctx.cls(i + 1);
        bool ok = next == CLS_LPAR   ? bindCall(ctx, i, line)
                  : next == CLS_LBRK ? bindArray(ctx, i, line)
                                     : bindVariable(ctx, i, line);
        if (!ok) return false;
    }
    return true;
}

}  // namespace tessel
