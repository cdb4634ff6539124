#include "dsp/cpu_features.h"

#include <atomic>

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

bool ProcessorKeepsItsClockForAvx512() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    return __builtin_cpu_is("amd");
#else
    return false;
#endif
}

const bool theProcessorHasAvx2 = ProcessorHasAvx2();
const bool theProcessorHasAvx512 = ProcessorHasAvx512();
const bool theProcessorKeepsItsClock = ProcessorKeepsItsClockForAvx512();
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
    return (theProcessorKeepsItsClock || theFullWidthAssumed.load(std::memory_order_relaxed)) && UseAvx512();
}

void AssumeFullWidthAvx512(bool assumed) { theFullWidthAssumed.store(assumed, std::memory_order_relaxed); }

void AllowAvx512(bool allowed) { theAvx512Allowed.store(allowed, std::memory_order_relaxed); }

}  // namespace dsp
