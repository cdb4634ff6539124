// Registry faults armed by tests, shared by every registry implementation:
// each registry call asks here, before doing anything, whether it must fail.
#pragma once

#include <string>

#include "platform/registry.h"

namespace platform::detail {

// The error that `operation` must return, or kErrorSuccess. `keyPath` is
// the full path of the key the operation works on, hive first
// ("HKEY_CURRENT_USER\Software\..."); `valueName` is the value of a value
// operation (empty for key operations).
long RegistryFaultDue(RegOperation operation, const std::string& keyPath,
                      const std::string& valueName);

// False when a test turned off flushing each change to the disk.
bool RegistryFlushWanted();

}  // namespace platform::detail
