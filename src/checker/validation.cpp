// The validation pass: statements with a fixed argument shape must have a
// token of an accepted class at each fixed distance after the keyword, so the
// run's statement handlers can read their arguments where they expect them.
// WINMSG registration, WHILE marks and GOTO binding happen in the same walk.
#include <array>
#include <vector>

#include "checker/check_context.h"

namespace tessel {

namespace {

// Accepted classes, as bits.
enum : unsigned {
    ACC_NAME = 1u << 0,   // identifier
    ACC_NUM = 1u << 1,    // number literal
    ACC_QSTR = 1u << 2,   // string literal
    ACC_LPAR = 1u << 3,   // left parenthesis (a sub-expression)
    ACC_LBRK = 1u << 4,   // left bracket
    ACC_COMMA = 1u << 5,  // comma separator
};

// One check: the token at `offset` after the keyword must be of an accepted
// class, or (when `within` is set) its text must occur in `within`. The error
// quotes the token at `quote` (0: the checked one).
struct ArgCheck {
    int offset;
    unsigned accept;
    std::string_view body;
    std::string_view within = {};
    int quote = 0;
    bool joinedOnly = false;  // IF: only when an "&" or "|" stands at offset 4
};

struct StatementShape {
    int32_t code;
    std::string_view caption;
    std::vector<ArgCheck> checks;
};

constexpr unsigned kValue = ACC_NAME | ACC_NUM;
constexpr unsigned kExpr = ACC_NAME | ACC_NUM | ACC_LPAR;
constexpr std::string_view kArg1 = "Wrong Argument(1)! -{ ";
constexpr std::string_view kArg2 = "Wrong Argument(2)! -{ ";
constexpr std::string_view kArg3 = "Wrong Argument(3)! -{ ";
constexpr std::string_view kArg4 = "Wrong Argument(4)! -{ ";
constexpr std::string_view kInvalid1 = "Invalid Argument(1)! -{ ";
constexpr std::string_view kComma = "Comma Separator ? -{ ";
constexpr std::string_view kCommaWide = "Comma Separator ?  -{ ";

// Three comma-separated single-token values (WCOLOR, BCOLOR); both commas
// are checked together and the error quotes the first.
std::vector<ArgCheck> colourChecks() {
    return {{1, kValue, kArg1}, {2, ACC_COMMA, kComma}, {4, ACC_COMMA, kComma, {}, 2},
            {3, kValue, kArg2}, {5, kValue, kArg3}};
}

const std::vector<StatementShape>& statementShapes() {
    static const std::vector<StatementShape> shapes = {
        {KW_MOUSEX, "ERROR~MOUSEX", {{1, ACC_NAME, kInvalid1}}},
        {KW_MOUSEY, "ERROR~MOUSEY", {{1, ACC_NAME, kInvalid1}}},
        {KW_HWPARAM, "ERROR~HWPARAM", {{1, ACC_NAME, kInvalid1}}},
        {KW_HLPARAM, "ERROR~HLPARAM", {{1, ACC_NAME, kInvalid1}}},
        {KW_PRINT, "ERROR~print", {{1, kExpr, kArg1}}},
        {KW_PSET, "ERROR~PSET", {{1, kExpr, kArg1}}},
        {KW_LINE, "ERROR~LINE", {{1, kExpr, kArg1}}},
        {KW_RECT, "ERROR~RECT", {{1, kExpr, kArg1}}},
        {KW_IF,
         "ERROR~IF",
         {{1, ACC_NAME | ACC_LBRK, kArg1},
          {2, 0, "Missing operator[<>=!] -{ ", "<>=!["},
          {3, ACC_NAME | ACC_NUM | ACC_QSTR | ACC_LPAR, kArg3},
          {5, ACC_NAME, "Wrong Argument(5)! -{ ", {}, 0, true},
          {6, 0, "Wrong operator(2)! -{ ", "<>=!", 0, true},
          {7, ACC_NAME | ACC_NUM | ACC_QSTR, "Wrong Argument(7)! -{ ", {}, 0, true}}},
        {KW_WHILE,
         "ERROR~WHILE",
         {{1, ACC_NAME, kArg1},
          {2, 0, "Wrong operator(2)! -{ ", "<>=!"},
          {3, ACC_NAME | ACC_NUM | ACC_QSTR, kArg3}}},
        {KW_RND, "ERROR~RND", {{1, ACC_LPAR, kArg1}}},
        {KW_SIN, "ERROR~SIN", {{1, ACC_LPAR, kArg1}}},
        {KW_COS, "ERROR~COS", {{1, ACC_LPAR, kArg1}}},
        {KW_TAN, "ERROR~TAN", {{1, ACC_LPAR, kArg1}}},
        {KW_RAND, "ERROR~RAND", {{1, ACC_LPAR, kArg1}}},
        {KW_STRS, "ERROR~STRS", {{2, kValue, kArg2}}},
        {KW_WCOLOR, "ERR~WCOLOR", colourChecks()},
        {KW_FCOLOR, "ERR~FCOLOR", {{1, kValue, kArg1}}},
        {KW_BCOLOR, "ERR~BCOLOR", colourChecks()},
        {KW_LOADIMG,
         "ERR-LoadImg",
         {{1, ACC_NAME, kArg1},
          {2, ACC_COMMA, kComma},
          {3, ACC_NAME | ACC_QSTR, kArg2},
          {4, ACC_COMMA, kComma},
          {5, kValue, kArg3},
          {6, ACC_COMMA, kComma},
          {7, kValue, kArg4},
          {8, ACC_COMMA, kCommaWide},
          {9, kValue, "Wrong Argument(5)! -{ "},
          {10, ACC_COMMA, kCommaWide},
          {11, kValue, "Wrong Argument(6)! -{ "}}},
        {KW_SHOWIMG,
         "ERR-ShowImg",
         {{1, ACC_NAME, kArg1},
          {2, ACC_COMMA, kComma},
          {3, kValue, kArg2},
          {4, ACC_COMMA, kComma},
          {5, kValue, kArg3},
          {6, ACC_COMMA, kComma},
          {7, kValue, kArg4}}},
    };
    return shapes;
}

using ShapeTable = std::array<const StatementShape*, kStatementCodeLimit>;

// Shape per statement code, nullptr when the statement is not checked.
const ShapeTable& shapeByCode() {
    static const ShapeTable table = [] {
        ShapeTable t{};
        for (const StatementShape& s : statementShapes()) t[s.code] = &s;
        return t;
    }();
    return table;
}

unsigned classBit(int32_t cls) {
    switch (cls) {
        case CLS_NAME: return ACC_NAME;
        case CLS_NUM: return ACC_NUM;
        case CLS_QSTR: return ACC_QSTR;
        case CLS_LPAR: return ACC_LPAR;
        case CLS_LBRK: return ACC_LBRK;
        case CLS_COMMA: return ACC_COMMA;
        default: return 0;
    }
}

bool passes(const CheckContext& ctx, const ArgCheck& c, int64_t pos) {
    if (!c.within.empty()) {
        std::string_view t = ctx.text(pos);
        return !t.empty() && c.within.find(t) != std::string_view::npos;
    }
    return (classBit(ctx.cls(pos)) & c.accept) != 0;
}

// The error of a check that failed, with the hint for its statement.
[[gnu::cold, gnu::noinline]] bool failShape(CheckContext& ctx, const StatementShape& shape, const ArgCheck& c,
                                            int32_t i, int line) {
    return ctx.failQuoting(shape.caption, c.body, int64_t{i} + (c.quote ? c.quote : c.offset), line,
                           shapeHint(ctx, i, c.offset));
}

bool checkShape(CheckContext& ctx, const StatementShape& shape, int32_t i, int line) {
    int32_t joiner = ctx.cls(i + 4);
    bool joined = joiner == CLS_AMP || joiner == CLS_BAR;
    for (const ArgCheck& c : shape.checks) {
        if (c.joinedOnly && !joined) continue;
        if (passes(ctx, c, int64_t{i} + c.offset)) continue;
        return failShape(ctx, shape, c, i, line);
    }
    return true;
}

bool validateStatement(CheckContext& ctx, int32_t i, int line) {
    int32_t code = ctx.cls(i);
    if (code == KW_WINMSG) return registerEventBlock(ctx, i, line);
    if (code == KW_GOTO) return bindGoto(ctx, i, line);
    if (code < 0 || code >= kStatementCodeLimit) return true;
    const StatementShape* shape = shapeByCode()[code];
    return !shape || checkShape(ctx, *shape, i, line);
}

}  // namespace

bool validateStatements(CheckContext& ctx) {
    int line = 1;
    for (int32_t i = 1; i <= ctx.count(); ++i) {
        if (ctx.cls(i) == CLS_EOL) ++line;
        if (!validateStatement(ctx, i, line)) return false;
    }
    return true;
}

}  // namespace tessel
