#include "dsp/cpu_features.h"

#include <atomic>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#endif

namespace dsp {
namespace {

bool ProcessorHasAvx2() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();  // may run before the constructors that would do it
    // The AVX2 paths also use fused multiply-adds where a product must be
    // exact; every processor with AVX2 has them, but both are checked.
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

bool ProcessorHasAvx512() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // This also checks that the operating system saves the 512-bit
    // registers.
    return ProcessorHasAvx2() && __builtin_cpu_supports("avx512f");
#else
    return false;
#endif
}

// AMD's processors from family 1Ah (Zen 5) on: 512-bit units at full width,
// and no lower clock for using them.
bool ProcessorRunsAvx512AtFullWidth() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__builtin_cpu_is("amd") || !__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    unsigned family = (eax >> 8) & 0xF;
    if (family == 0xF) family += (eax >> 20) & 0xFF;
    return family >= 0x1A;
#else
    return false;
#endif
}

const bool theProcessorHasAvx2 = ProcessorHasAvx2();
const bool theProcessorHasAvx512 = ProcessorHasAvx512();
const bool theProcessorRunsAvx512AtFullWidth = ProcessorRunsAvx512AtFullWidth();
std::atomic<bool> theAvx2Allowed{true};
std::atomic<bool> theAvx512Allowed{true};
std::atomic<bool> theFullWidthAssumed{false};

}  // namespace

bool UseAvx2() { return theProcessorHasAvx2 && theAvx2Allowed.load(std::memory_order_relaxed); }

void AllowAvx2(bool allowed) { theAvx2Allowed.store(allowed, std::memory_order_relaxed); }

bool UseAvx512() {
    return theProcessorHasAvx512 && UseAvx2() && theAvx512Allowed.load(std::memory_order_relaxed);
}

bool UseFullWidthAvx512() {
    const bool assumed = theFullWidthAssumed.load(std::memory_order_relaxed);
    return (theProcessorRunsAvx512AtFullWidth || assumed) && UseAvx512();
}

void AssumeFullWidthAvx512(bool assumed) { theFullWidthAssumed.store(assumed, std::memory_order_relaxed); }

void AllowAvx512(bool allowed) { theAvx512Allowed.store(allowed, std::memory_order_relaxed); }

}  // namespace dsp
