// The contract suites on the Win32 layer: the user's own registry (a fresh
// Wine prefix's), whose test key each test starts and ends without.
#include "tests/contract/contract_backend.h"

namespace contract {

void OpenTestRegistry() {}
void CloseTestRegistry() {}

}  // namespace contract
