// Declarations, assignments and element assignments: the statements that
// begin with a declaring keyword or a name.
#include "exec/handlers.h"
#include "expr/expr.h"

namespace tessel::exec {

// Declarations were carried out by the checker; the run passes over them up
// to the end of the statement.
void execDeclaration(Interpreter& in) {
    ExecState& ex = in.exec;
    const int32_t count = in.tokens.count;
    while (ex.pc < count) {
        int32_t c = in.tokens.cls[ex.pc];
        if (c == CLS_COLON || c == CLS_EOL) return;
        ++ex.pc;
    }
}

namespace {

// name = expression, by the variable's type. Any other form does nothing.
void assignVariable(Interpreter& in) {
    Variable* v = variableAt(in, in.exec.pc);
    if (!v) return;
    ++in.exec.pc;  // onto the '='
    switch (v->type) {
        case TYPE_NUM: v->num = fetchNumeric(in); break;
        case TYPE_STR: v->str = fetchString(in); break;
        case TYPE_PTR: v->ptr = toInt32(fetchNumeric(in)); break;
        default: break;
    }
}

// Element stores: an index outside the array's storage stores nothing.
template <typename T, typename V>
void storeElement(std::vector<T>& elems, int32_t index, V&& value) {
    if (index >= 0 && index < static_cast<int32_t>(elems.size()))
        elems[static_cast<size_t>(index)] = std::forward<V>(value);
}

// name[index] = expression. The index is the whole expression up to the
// closing bracket, whatever its first token.
void assignElement(Interpreter& in) {
    ExecState& ex = in.exec;
    ArrayInfo* a = arrayAt(in, ex.pc);
    if (!a) return;
    ex.pc += 2;  // onto the index's first token
    int32_t index = toInt32(numericExpression(in));
    if (currentClass(in) != CLS_RBRK || classAt(in, ex.pc + 1) != CLS_EQ) return;
    ++ex.pc;  // onto the '='
    switch (a->type) {
        case TYPE_NUM: storeElement(a->nums, index, fetchNumeric(in)); break;
        case TYPE_PTR: storeElement(a->ptrs, index, toInt32(fetchNumeric(in))); break;
        case TYPE_STR: storeElement(a->strs, index, fetchString(in)); break;
        default: break;
    }
}

// Every statement that begins with a name but the commonest.
[[gnu::noinline]] void otherNameStatement(Interpreter& in) {
    switch (classAt(in, in.exec.pc + 1)) {
        case CLS_EQ: assignVariable(in); break;
        case CLS_LBRK: assignElement(in); break;
        case CLS_LPAR: execCall(in); break;
        default: break;  // a name alone, or a label's name: nothing happens
    }
}

}  // namespace

void execNameStatement(Interpreter& in) {
    ExecState& ex = in.exec;
    const RunToken& name = in.expr.runData[static_cast<size_t>(ex.pc)];
    if (name.numAlt == NA_NUMVAR && (&name)[1].cls == CLS_EQ) {
        // number = expression, the commonest statement: the variable is the
        // name's binding, the expression starts after the '='.
        ex.pc += 2;
        Variable& v = in.checker.vars[static_cast<size_t>(name.ref)];
        v.num = numericExpression(in);
        return;
    }
    otherNameStatement(in);
}

}  // namespace tessel::exec
