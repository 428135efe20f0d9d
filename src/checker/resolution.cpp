// The resolution pass: every identifier used as a variable, an array or a
// function call is bound to its table entry, so the run never looks names up.
#include "checker/check_context.h"

namespace tessel {

namespace {

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

NameUse nameUseAt(const TokenStore& tokens, int64_t i) {
    switch (tokens.classAt(i - 1)) {
        case KW_LABEL:
        case KW_GOTO: return NameUse::Label;
        case KW_FUNC: return NameUse::Function;
        case KW_WINMSG: return NameUse::Message;
        default: break;
    }
    const int32_t next = tokens.classAt(i + 1);
    return next == CLS_LPAR ? NameUse::Call : next == CLS_LBRK ? NameUse::Array : NameUse::Variable;
}

bool resolveNames(CheckContext& ctx) {
    int line = 1;
    for (int32_t i = 1; i <= ctx.count(); ++i) {
        if (ctx.cls(i) == CLS_EOL) ++line;
        if (!ctx.isName(i)) continue;
        const NameUse use = nameUseAt(ctx.tokens, i);
        // Labels, functions and message names are bound by passes of their own.
        bool ok = use == NameUse::Call       ? bindCall(ctx, i, line)
                  : use == NameUse::Array    ? bindArray(ctx, i, line)
                  : use == NameUse::Variable ? bindVariable(ctx, i, line)
                                             : true;
        if (!ok) return false;
    }
    return true;
}

}  // namespace tessel
