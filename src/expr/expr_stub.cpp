// Placeholder evaluator until the expression subsystem lands.
#include "expr/expr.h"
#include "host/interpreter.h"

namespace tessel {

void buildRunTables(Interpreter&) {}
void fetch(Interpreter& in) {
    if (in.exec.pc <= in.tokens.count) ++in.exec.pc;
}
float numericExpression(Interpreter&) { return 0.0f; }
float numericFactor(Interpreter&) { return 0.0f; }
std::string stringExpression(Interpreter&) { return {}; }
std::string stringFactor(Interpreter&) { return {}; }
int32_t condition(Interpreter&) { return 0; }
float fetchNumeric(Interpreter& in) {
    fetch(in);
    return numericExpression(in);
}
std::string fetchString(Interpreter& in) {
    fetch(in);
    return stringExpression(in);
}
std::string numberToText(float) { return "0"; }
double textToNumber(std::string_view) { return 0.0; }
int32_t toInt32(double) { return 0; }

}  // namespace tessel
