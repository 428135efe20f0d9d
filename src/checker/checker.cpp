#include "checker/checker.h"

namespace tessel {

// Placeholder until the checker lands.
int runChecker(TokenStore&, CheckerState&, Reporter&) { return 1; }

}  // namespace tessel
