// Must not compile: the language server sees the lint and the checker below
// it, not the compile layer the lint reads expressions with.
#include "lint/lint.h"
#include "compile/reader.h"
