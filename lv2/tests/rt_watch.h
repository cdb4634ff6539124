// Counts the calls a real-time audio thread must not make: allocation and
// freeing (malloc and new families), opening files, reading and writing
// them, taking locks and waiting. The counting functions are defined in
// rt_watch.cpp under the C library's own names, so they stand in for the
// real ones for the whole process (the test executable exports them), the
// plug-in library loaded with dlopen included.
#pragma once

#include <string>

namespace rtwatch {

enum Call {
    kMalloc, kCalloc, kRealloc, kAlignedAlloc, kFree,
    kNew, kDelete,
    kOpen, kFopen, kRead, kWrite,
    kMutexLock, kRwLock, kCondWait, kSemWait, kSleep,
    kCallCount
};

// Counting happens only between Start and Stop.
void Start();
void Stop();
int Count(Call call);
// "malloc 2, mutex lock 1", or empty when nothing was counted.
std::string Report();

}  // namespace rtwatch
