// What a contract test needs of the backend it runs on, one file per
// backend: a registry of its own for each test (a fresh file on Linux; on
// Windows the user's registry, whose test key the suite clears).
#pragma once

namespace contract {

void OpenTestRegistry();
void CloseTestRegistry();

}  // namespace contract
