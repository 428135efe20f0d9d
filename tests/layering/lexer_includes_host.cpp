// Must not compile: the lexer sees only itself and base, never the host.
#include "lexer/token_store.h"
#include "host/interpreter.h"
