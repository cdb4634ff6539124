// Fault injection shared by the portable and the Win32 global memory.
#pragma once

namespace platform::detail {

// Each call counts one allocation (or lock); true when this one must fail.
bool AllocationFaultDue();
bool LockFaultDue();

}  // namespace platform::detail
