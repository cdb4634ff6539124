#include "platform/memory_faults.h"

#include "platform/memory.h"

namespace platform {
namespace {

struct Countdown {
    int remaining = 0;  // 0: no fault armed
    bool Due() {
        if (remaining == 0) return false;
        return --remaining == 0;
    }
};

Countdown g_allocationFault;
Countdown g_lockFault;

}  // namespace

namespace detail {
bool AllocationFaultDue() { return g_allocationFault.Due(); }
bool LockFaultDue() { return g_lockFault.Due(); }
}  // namespace detail

namespace testing {
void FailNthAllocation(int n) { g_allocationFault.remaining = n > 0 ? n : 0; }
void FailNthLock(int n) { g_lockFault.remaining = n > 0 ? n : 0; }
void ClearMemoryFaults() {
    g_allocationFault.remaining = 0;
    g_lockFault.remaining = 0;
}
}  // namespace testing

}  // namespace platform
