// State of the expression evaluator that outlives one evaluation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessel {

// Binary operators of numeric expressions and terms.
enum ExprOp : uint8_t { OP_NONE = 0, OP_PLUS, OP_MINUS, OP_STAR, OP_SLASH, OP_PCT, OP_CARET };

// What the numeric factor does with a token (each token matches at most one).
enum NumAlt : uint8_t {
    NA_NONE = 0,  // starts no numeric factor
    NA_MINUS,     // unary "-": negates the factor that follows
    NA_PLUS,      // unary "+": passes over the sign
    NA_DIGIT,     // text begins with a digit: its precomputed value
    NA_LPAR,      // "(" groups a numeric expression
    NA_LBRK,      // "[" groups like "("
    NA_NUMVAR,    // name of a number variable
    NA_PTRVAR,    // name of a pointer variable
    NA_NAME,      // any other name not followed by "[": reads 0, used
    NA_NUMARR,    // element of a number array
    NA_PTRARR,    // element of a pointer array
    NA_FUNC,      // numeric function keyword
};

// What the string factor does with a token.
enum StrAlt : uint8_t {
    SA_NONE = 0,
    SA_LPAR,    // "(" groups a string expression
    SA_STRVAR,  // name of a string variable
    SA_STRARR,  // element of a string array
    SA_STRS,
    SA_CHRS,
    SA_LSTR,
    SA_RSTR,
    SA_MSTR,
    SA_NUM,     // number literal: type error
    SA_QSTR,    // string literal
};

// What a name stands for as a comparison operand.
enum NameKind : uint8_t { NK_NONE = 0, NK_NUMVAR, NK_STRVAR, NK_NUMARR, NK_STRARR };

// Flags of a run token.
enum : uint16_t {
    RF_BEFORE_STRING = 1,  // a "+"/"-" whose next token is a string operand
    RF_LITERAL = 2,        // a whole numeric factor by itself: the value in num
    RF_NUMVAR = 4,         // a whole numeric factor by itself: number variable ref
    RF_ALONE = 8,          // RF_LITERAL or RF_NUMVAR, and no operator follows
    // The term that starts here is "a op b": a RF_LITERAL/RF_NUMVAR factor,
    // one of "*", "/", "%", "^", and another such factor after which no
    // term operator follows; the term ends three tokens on.
    RF_TERM2 = 16,
    // The expression that starts here is "a + b" or "a - b": a RF_LITERAL/
    // RF_NUMVAR factor, a sign that does not end the expression, and a
    // RF_ALONE factor; the expression ends three tokens on.
    RF_SUM2 = 32,
    // The comparison that starts here is "x op y": a RF_ALONE number
    // variable, "=", "!", "<" or ">", and a RF_ALONE number variable or
    // number literal that no second right operand follows; it ends three
    // tokens on.
    RF_CMP2 = 64,
    // The "(" here opens "(a op b)": a RF_TERM2 or RF_SUM2 expression and a
    // ")", after which no later factor alternative follows; the factor ends
    // five tokens on.
    RF_GROUP3 = 128,
    // The name here starts "a[x]": a number-array element whose subscript is
    // one RF_ALONE literal or number variable and a "]", after which no later
    // factor alternative follows; the factor ends four tokens on.
    RF_ELEMENT = 256,
    // The name here starts "x = ...": a number variable (no "[" after it)
    // and a "="; the statement stores the expression that starts two tokens
    // on in the variable.
    RF_NUMSET = 512,
    // The name here starts "a[x] = ...": a number array, a subscript of one
    // RF_ALONE literal or number variable, "]" and "="; the statement stores
    // the expression that starts five tokens on in the element.
    RF_ELEMSET = 1024,
    // The comparison that starts here is "a[x] op y": a RF_ELEMENT element
    // read as a number, "=", "!", "<" or ">", and a right operand as RF_CMP2
    // wants it; it ends six tokens on.
    RF_CMPELEM = 2048,
    // The name here is followed by "(": the statement is a call.
    RF_CALL = 4096,
    // The numeric expression that starts here is pure arithmetic (number
    // literals, number and pointer variables, signs, groups and the six
    // operators) and has a program in ExprState::programs.
    RF_PROGRAM = 8192,
};

// How the run tables are built. OneStep sets every one-step flag; LongWayOnly
// sets none of them, so every evaluation takes the general procedures, with
// the same results by construction (the differential tests compare the two).
// RF_BEFORE_STRING is a rule of the language, not a one-step flag: it is set
// in both modes.
enum class RunTableMode : uint8_t { OneStep, LongWayOnly };

// Everything the evaluator needs to know about one token, worked out once
// after checking so that evaluation never parses or compares text.
struct RunToken {
    float num = 0.0f;        // value of a token whose text begins with a digit
    int32_t ref = 0;         // bound variable or array number (0 when none)
    uint8_t cls = 0;         // class field (lexical class or statement code, all below 256)
    uint8_t op = OP_NONE;    // binary operator kind
    uint8_t numAlt = NA_NONE;
    uint8_t strAlt = SA_NONE;
    uint8_t nameKind = NK_NONE;
    uint16_t flags = 0;
};

static_assert(sizeof(RunToken) == 16, "run tokens index with a shift");

// One step of an expression program: the expression's factors and
// operators in the order the evaluator applies them, over a value stack.
enum ProgramStep : uint8_t {
    PS_LITERAL = 0,  // push num
    PS_NUMVAR,       // push number variable ref
    PS_PTRVAR,       // push pointer variable ref, as a number
    PS_NEGATE,       // negate the top value
    PS_PLUS,         // the top two values: below + top
    PS_MINUS,        // below - top
    PS_TERM,         // below op top, op a term operator
    // The same operations with a literal or number variable as the right
    // operand, which is then no value on the stack.
    PS_PLUS_LITERAL,
    PS_PLUS_NUMVAR,
    PS_MINUS_LITERAL,
    PS_MINUS_NUMVAR,
    PS_TERM_LITERAL,
    PS_TERM_NUMVAR,
};

struct ProgramCode {
    float num = 0.0f;
    int32_t ref = 0;
    uint8_t step = PS_LITERAL;
    uint8_t op = OP_NONE;
};

// A numeric expression read ahead of the run: its steps, the token its
// reading ends on, and the deepest nesting (groups and signs) it reaches.
struct ExprProgram {
    uint32_t first = 0;   // index of its first step in ExprState::code
    uint32_t length = 0;  // steps
    int32_t end = 0;      // program counter after the reading
    int32_t nesting = 0;  // levels of nesting the long way would enter
};

// Longest program, and most values one may hold at once.
inline constexpr uint32_t kMaxProgramSteps = 64;
inline constexpr int32_t kMaxProgramStack = 16;
// Deepest nesting a program may have.
inline constexpr int32_t kMaxProgramNesting = 32;

struct ExprState {
    uint32_t rndState = 0x12345678u;  // RND generator, never reseeded
    uint32_t randState = 0;           // RAND generator, seeded from the clock at start-up
    std::vector<RunToken> run;        // per token, indexed like the token store (count + 2)
    // run's data and size as the evaluator reads them at every token (set
    // with run, which never changes size during a run).
    const RunToken* runData = nullptr;
    uint32_t runSize = 0;
    int32_t depth = 0;                // nesting of groups, subscripts and function arguments
    // Expression programs: programAt gives a RF_PROGRAM token's program.
    std::vector<ProgramCode> code;
    std::vector<ExprProgram> programs;
    std::vector<uint32_t> programAt;
};

// Deepest nesting an expression may have before the run is aborted; keeps
// the recursive evaluator well inside the C stack.
inline constexpr int32_t kMaxExprDepth = 1000;

}  // namespace tessel
