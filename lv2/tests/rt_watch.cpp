#include "lv2/tests/rt_watch.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace rtwatch {

namespace {

std::atomic<bool> g_watching{false};
std::atomic<int> g_counts[kCallCount];

const char* const kNames[kCallCount] = {
    "malloc", "calloc", "realloc", "aligned allocation", "free", "operator new",
    "operator delete", "open", "fopen", "read", "write", "mutex lock", "rwlock lock",
    "condition wait", "semaphore wait", "sleep"};

// The C library's own functions behind the counting ones, looked up before
// main (and at first use, for calls made while libraries start), so that no
// lookup happens inside a counted stretch.
using FopenFn = FILE* (*)(const char*, const char*);
using LockFn = int (*)(void*);
using CondWaitFn = int (*)(pthread_cond_t*, pthread_mutex_t*);
using CondTimedWaitFn = int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*);
FopenFn g_fopen;
LockFn g_mutexLock, g_mutexTryLock, g_rdLock, g_wrLock, g_semWait;
CondWaitFn g_condWait;
CondTimedWaitFn g_condTimedWait;

template <class F>
F Real(F& slot, const char* name) {
    if (slot == nullptr) slot = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
    return slot;
}

__attribute__((constructor)) void LookUp() {
    Real(g_fopen, "fopen");
    Real(g_mutexLock, "pthread_mutex_lock");
    Real(g_mutexTryLock, "pthread_mutex_trylock");
    Real(g_rdLock, "pthread_rwlock_rdlock");
    Real(g_wrLock, "pthread_rwlock_wrlock");
    Real(g_semWait, "sem_wait");
    Real(g_condWait, "pthread_cond_wait");
    Real(g_condTimedWait, "pthread_cond_timedwait");
}

}  // namespace

void Note(Call call) {
    if (g_watching.load(std::memory_order_relaxed)) g_counts[call].fetch_add(1, std::memory_order_relaxed);
}

void Start() {
    for (auto& count : g_counts) count.store(0);
    g_watching.store(true);
}

void Stop() { g_watching.store(false); }

int Count(Call call) { return g_counts[call].load(); }

std::string Report() {
    std::string report;
    for (int i = 0; i < kCallCount; ++i) {
        const int n = g_counts[i].load();
        if (n == 0) continue;
        if (!report.empty()) report += ", ";
        report += std::string(kNames[i]) + " " + std::to_string(n);
    }
    return report;
}

}  // namespace rtwatch

using rtwatch::Note;
using rtwatch::Real;

extern "C" {

void* malloc(std::size_t size) {
    Note(rtwatch::kMalloc);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    Note(rtwatch::kCalloc);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    Note(rtwatch::kRealloc);
    return __libc_realloc(pointer, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    Note(rtwatch::kAlignedAlloc);
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    Note(rtwatch::kAlignedAlloc);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
    Note(rtwatch::kAlignedAlloc);
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) return ENOMEM;
    *result = pointer;
    return 0;
}
void free(void* pointer) {
    Note(rtwatch::kFree);
    __libc_free(pointer);
}

int open(const char* path, int flags, ...) {
    Note(rtwatch::kOpen);
    va_list args;
    va_start(args, flags);
    const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, int) : 0;
    va_end(args);
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}
int open64(const char* path, int flags, ...) {
    Note(rtwatch::kOpen);
    va_list args;
    va_start(args, flags);
    const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, int) : 0;
    va_end(args);
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}
int openat(int dir, const char* path, int flags, ...) {
    Note(rtwatch::kOpen);
    va_list args;
    va_start(args, flags);
    const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, int) : 0;
    va_end(args);
    return static_cast<int>(syscall(SYS_openat, dir, path, flags, mode));
}
FILE* fopen(const char* path, const char* mode) {
    Note(rtwatch::kFopen);
    return Real(rtwatch::g_fopen, "fopen")(path, mode);
}
FILE* fopen64(const char* path, const char* mode) {
    Note(rtwatch::kFopen);
    return Real(rtwatch::g_fopen, "fopen")(path, mode);
}
ssize_t read(int fd, void* buffer, std::size_t count) {
    Note(rtwatch::kRead);
    return syscall(SYS_read, fd, buffer, count);
}
ssize_t write(int fd, const void* buffer, std::size_t count) {
    Note(rtwatch::kWrite);
    return syscall(SYS_write, fd, buffer, count);
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    Note(rtwatch::kMutexLock);
    return Real(rtwatch::g_mutexLock, "pthread_mutex_lock")(mutex);
}
int pthread_mutex_trylock(pthread_mutex_t* mutex) {
    Note(rtwatch::kMutexLock);
    return Real(rtwatch::g_mutexTryLock, "pthread_mutex_trylock")(mutex);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* lock) {
    Note(rtwatch::kRwLock);
    return Real(rtwatch::g_rdLock, "pthread_rwlock_rdlock")(lock);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* lock) {
    Note(rtwatch::kRwLock);
    return Real(rtwatch::g_wrLock, "pthread_rwlock_wrlock")(lock);
}
int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
    Note(rtwatch::kCondWait);
    return Real(rtwatch::g_condWait, "pthread_cond_wait")(condition, mutex);
}
int pthread_cond_timedwait(pthread_cond_t* condition, pthread_mutex_t* mutex, const timespec* until) {
    Note(rtwatch::kCondWait);
    return Real(rtwatch::g_condTimedWait, "pthread_cond_timedwait")(condition, mutex, until);
}
int sem_wait(sem_t* semaphore) {
    Note(rtwatch::kSemWait);
    return Real(rtwatch::g_semWait, "sem_wait")(semaphore);
}
int nanosleep(const timespec* duration, timespec* remaining) {
    Note(rtwatch::kSleep);
    return static_cast<int>(syscall(SYS_nanosleep, duration, remaining));
}

}  // extern "C"

// Every replaceable form of operator new and delete.
namespace {
void* CountedNew(std::size_t size, std::size_t alignment) {
    Note(rtwatch::kNew);
    return alignment > alignof(std::max_align_t) ? __libc_memalign(alignment, size)
                                                 : __libc_malloc(size == 0 ? 1 : size);
}
void* ThrowingNew(std::size_t size, std::size_t alignment) {
    void* pointer = CountedNew(size, alignment);
    if (pointer == nullptr) throw std::bad_alloc();
    return pointer;
}
void CountedDelete(void* pointer) {
    Note(rtwatch::kDelete);
    __libc_free(pointer);
}
constexpr std::size_t kPlain = alignof(std::max_align_t);
}  // namespace

void* operator new(std::size_t size) { return ThrowingNew(size, kPlain); }
void* operator new[](std::size_t size) { return ThrowingNew(size, kPlain); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedNew(size, kPlain); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedNew(size, kPlain); }
void* operator new(std::size_t size, std::align_val_t a) { return ThrowingNew(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return ThrowingNew(size, static_cast<std::size_t>(a)); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return CountedNew(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return CountedNew(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { CountedDelete(p); }
void operator delete[](void* p) noexcept { CountedDelete(p); }
void operator delete(void* p, std::size_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedDelete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { CountedDelete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CountedDelete(p); }
void operator delete(void* p, std::align_val_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, std::align_val_t) noexcept { CountedDelete(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { CountedDelete(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { CountedDelete(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { CountedDelete(p); }
