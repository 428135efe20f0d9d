// The declaration pass: VAR, STR and PTR lists build the variable and array
// tables, and every array's element storage is sized (the run allocates it).
#include <algorithm>

#include "base/convert.h"
#include "checker/check_context.h"

namespace tessel {

namespace {

// The largest declared array size that gets storage; a bigger one is an
// error rather than an attempt to allocate it.
constexpr int32_t kMaxArrayElements = 16777216;

int64_t elementBytes(int32_t type) {
    if (type == TYPE_STR) return sizeof(std::string);
    return type == TYPE_NUM ? sizeof(float) : sizeof(int32_t);
}

void declareVariable(CheckContext& ctx, int32_t j, int32_t type) {
    ctx.state.vars.push_back(Variable{j, type});
    int32_t number = ctx.state.varCount();
    ctx.state.bind(j, BIND_VAR, number);
    ctx.varByName.addFirst(j);
}

// Declares the array named by token j (its size is token j + 2) and gives it
// max(kMinArrayElements, size + 1) elements of its type.
bool declareArray(CheckContext& ctx, int32_t j, int32_t type, int line) {
    float size = static_cast<float>(textToNumber(ctx.text(j + 2)));
    if (size > static_cast<float>(kMaxArrayElements))
        return ctx.failQuoting("ERROR", "Array too large! -{ ", j, line);
    int32_t declared = toInt32(size);
    int64_t elements = std::max<int64_t>(kMinArrayElements, int64_t{declared} + 1);
    int64_t bytes = elements * elementBytes(type);
    if (ctx.arrayBytes + bytes > ctx.state.arrayStorageBudget)
        return ctx.failQuoting("ERROR", "Array memory exhausted! -{ ", j, line);
    ctx.arrayBytes += bytes;

    ArrayInfo a;
    a.nameToken = j;
    a.type = type;
    a.declaredSize = declared;
    a.elements = elements;
    ctx.state.arrays.push_back(a);
    int32_t number = ctx.state.arrayCount();
    ctx.state.bind(j, BIND_ARRAY, number);
    ctx.arrayByName.addFirst(j);
    return true;
}

// One name of a declaration list. A VAR name is a number variable or, before
// a bracket, a number array; STR and PTR names are always variables and,
// before a bracket, arrays of the same name as well.
bool declareName(CheckContext& ctx, int32_t j, int32_t type, int line) {
    bool array = ctx.cls(j + 1) == CLS_LBRK;
    if (type != TYPE_NUM || !array) declareVariable(ctx, j, type);
    return !array || declareArray(ctx, j, type, line);
}

const char* missingVariableText(int32_t type) {
    if (type == TYPE_NUM) return "Missing variable after VAR! line: ";
    return type == TYPE_STR ? "Missing variable after STR! line: "
                            : "Missing variable after PTR! line: ";
}

// Declares the list after the keyword at i; returns the index of the token
// that ends it (a colon, an end of line, or one past the last token), or 0
// after an error.
int32_t declareList(CheckContext& ctx, int32_t i, int32_t type, int line) {
    ctx.tokens.setClass(i, type);
    if (!ctx.isName(i + 1)) {
        ctx.fail("ERROR", missingVariableText(type) + std::to_string(line), i + 1);
        return 0;
    }
    int32_t j = i + 1;
    for (; j <= ctx.count() && ctx.cls(j) != CLS_COLON && ctx.cls(j) != CLS_EOL; ++j)
        if (ctx.isName(j) && !declareName(ctx, j, type, line)) return 0;
    return j;
}

}  // namespace

// Keyword recognition has listed the names that spell VAR, STR or PTR; one
// that stands inside an earlier declaration's list is a name of that list.
bool declareNames(CheckContext& ctx) {
    int32_t next = 1;  // the first token after the last list
    for (int32_t i : ctx.declaringWords) {
        if (i < next || !ctx.isName(i)) continue;
        int32_t type = keywordCodeAnyCase(ctx.text(i));
        int32_t end = declareList(ctx, i, type, ctx.tokens.lineAt(i));
        if (end == 0) return false;
        next = end;  // the token ending the list is walked like any other
    }
    return true;
}

}  // namespace tessel
