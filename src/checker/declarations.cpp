// The declaration pass: VAR, STR and PTR lists build the variable and array
// tables, and every array's element storage is sized (the run allocates it).
#include <algorithm>

#include "checker/check_context.h"
#include "base/convert.h"

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
    Variable v;
    v.name = lowerAscii(ctx.text(j));
    v.type = type;
    ctx.state.vars.push_back(std::move(v));
    int32_t number = ctx.state.varCount();
    ctx.state.tokVar[j] = number;
    ctx.varByName.emplace(ctx.state.vars.back().name, number);
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
    a.name = lowerAscii(ctx.text(j));
    a.type = type;
    a.declaredSize = declared;
    a.elements = elements;
    ctx.state.arrays.push_back(std::move(a));
    int32_t number = ctx.state.arrayCount();
    ctx.state.tokArr[j] = number;
    ctx.arrayByName.emplace(ctx.state.arrays.back().name, number);
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
    return type == TYPE_STR ? "Missing variable after STR! line: " : "Missing variable after PTR! line: ";
}

// The declaring keyword a token spells (identifier tokens only), or 0.
int32_t declaringKeyword(CheckContext& ctx, int32_t i) {
    if (!ctx.isName(i)) return 0;
    int32_t code = keywordCode(upperAscii(ctx.text(i)));
    return keywordRole(code) == KeywordRole::DECL ? code : 0;
}

// Declares the list after the keyword at i; returns the index of the token
// that ends it (a colon, an end of line, or one past the last token), or 0
// after an error.
int32_t declareList(CheckContext& ctx, int32_t i, int32_t type, int line) {
    ctx.tokens.cls[i] = type;
    if (!ctx.isName(i + 1)) {
        ctx.fail("ERROR", missingVariableText(type) + std::to_string(line), line);
        return 0;
    }
    int32_t j = i + 1;
    for (; j <= ctx.count() && ctx.cls(j) != CLS_COLON && ctx.cls(j) != CLS_EOL; ++j)
        if (ctx.isName(j) && !declareName(ctx, j, type, line)) return 0;
    return j;
}

}  // namespace

bool declareNames(CheckContext& ctx) {
    int line = 1;
    for (int32_t i = 1; i <= ctx.count(); ++i) {
        if (ctx.cls(i) == CLS_EOL) ++line;
        int32_t type = declaringKeyword(ctx, i);
        if (type == 0) continue;
        int32_t end = declareList(ctx, i, type, line);
        if (end == 0) return false;
        i = end - 1;  // the token ending the list is walked like any other
    }
    return true;
}

}  // namespace tessel
