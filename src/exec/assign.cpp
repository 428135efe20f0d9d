// Declarations, assignments and element assignments: the statements that
// begin with a declaring keyword or a name.
#include "exec/handlers.h"
#include "expr/expr.h"

namespace tessel::exec {

// Declarations were carried out by the checker; the run passes over them up
// to the end of the statement.
void execDeclaration(Vm& vm) {
    ExecState& ex = vm.exec;
    const int32_t count = vm.tokens.count;
    while (ex.pc < count) {
        int32_t c = vm.tokens.classes()[ex.pc];
        if (c == CLS_COLON || c == CLS_EOL) return;
        ++ex.pc;
    }
}

namespace {

// True when `s = s + ...` at `name` can append to s in place: the first
// factor is s alone (what follows it ends the factor) and nothing else on
// the line reads s, whose value changes as the appending goes on.
bool appendsToItself(const Vm& vm, int32_t name) {
    const int32_t v = vm.symbols.varAt(name);
    const int32_t first = name + 2;
    if (vm.symbols.varAt(first) != v || runAt(vm, first).strAlt != SA_STRVAR)
        return false;
    const RunToken& after = runAt(vm, first + 1);
    if (after.op != OP_PLUS || (after.strAlt != SA_NONE && after.strAlt != SA_LPAR)) return false;
    for (int32_t i = first + 1; i <= vm.tokens.count; ++i) {
        int32_t cls = vm.tokens.classes()[static_cast<size_t>(i)];
        if (cls == CLS_EOL || cls == CLS_COLON) return true;
        if (vm.symbols.varAt(i) == v) return false;
    }
    return true;
}

// s = s + ...: appends to s where it is, so a loop that grows a string pays
// for what it appends, not for the whole string each time. A run abort in
// the middle leaves s as it was.
void appendInPlace(Vm& vm, std::string& target) {
    const int32_t statement = vm.exec.pc;
    const size_t before = target.size();
    vm.exec.pc += 2;  // onto s after the '='
    fetch(vm);        // past it
    try {
        continueStringExpression(vm, target);
    } catch (...) {
        target.resize(before);
        throw;
    }
    if (!chargeString(vm.memory, before, target.size())) {
        target.resize(before);
        stringMemoryExhausted(vm, statement);
    }
}

// name = expression, by the variable's type. Any other form does nothing.
void assignVariable(Vm& vm) {
    VarRef v = variableAt(vm, vm.exec.pc);
    if (!v) return;
    if (v.type == TYPE_STR && appendsToItself(vm, vm.exec.pc)) {
        appendInPlace(vm, v->str);
        return;
    }
    const int32_t statement = vm.exec.pc;
    ++vm.exec.pc;  // onto the '='
    switch (v.type) {
        case TYPE_NUM: v->num = fetchNumeric(vm); break;
        case TYPE_STR: storeText(vm, v->str, fetchString(vm), statement); break;
        case TYPE_PTR: v->ptr = toInt32(fetchNumeric(vm)); break;
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
void assignElement(Vm& vm) {
    ExecState& ex = vm.exec;
    const int32_t statement = ex.pc;
    ArrayRef a = arrayAt(vm, ex.pc);
    if (!a) return;
    ex.pc += 2;  // onto the index's first token
    int32_t index = toInt32(numericExpression(vm));
    if (currentClass(vm) != CLS_RBRK || classAt(vm, ex.pc + 1) != CLS_EQ) return;
    ++ex.pc;  // onto the '='
    switch (a.type) {
        case TYPE_NUM: storeElement(a->nums, index, fetchNumeric(vm)); break;
        case TYPE_PTR: storeElement(a->ptrs, index, toInt32(fetchNumeric(vm))); break;
        case TYPE_STR: {
            std::string text = fetchString(vm);
            if (index >= 0 && index < static_cast<int32_t>(a->strs.size()))
                storeText(vm, a->strs[static_cast<size_t>(index)], std::move(text), statement);
            break;
        }
        default: break;
    }
}

// Every statement that begins with a name but the commonest.
[[gnu::noinline]] void otherNameStatement(Vm& vm) {
    switch (classAt(vm, vm.exec.pc + 1)) {
        case CLS_EQ: assignVariable(vm); break;
        case CLS_LBRK: assignElement(vm); break;
        case CLS_LPAR: execCall(vm); break;
        default: break;  // a name alone, or a label's name: nothing happens
    }
}

// a[x] = expression with a one-token subscript: the element is the name's
// array at the subscript's value, the expression starts after the '='.
[[gnu::noinline]] void storeNumberElement(Vm& vm, const RunToken* t) {
    const int32_t index = toInt32(wholeFactorValue(vm, t[2]));
    vm.exec.pc += 5;
    const float value = numericExpression(vm);
    storeElement(vm.memory.arrays[static_cast<size_t>(t[0].ref)].nums, index, value);
}

}  // namespace

void execNameStatement(Vm& vm) {
    ExecState& ex = vm.exec;
    const RunToken& name = vm.expr.runData[static_cast<size_t>(ex.pc)];
    if (name.flags & RF_NUMSET) {
        // number = expression, the commonest statement: the variable is the
        // name's binding, the expression starts after the '='.
        ex.pc += 2;
        VariableValue& v = vm.memory.vars[static_cast<size_t>(name.ref)];
        v.num = numericExpression(vm);
        return;
    }
    if (name.flags & RF_CALL) return execCall(vm);
    if (name.flags & RF_ELEMSET) return storeNumberElement(vm, &name);
    otherNameStatement(vm);
}

}  // namespace tessel::exec
