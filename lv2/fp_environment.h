// The effects are defined on IEEE arithmetic with subnormal numbers and
// rounding to nearest. Many hosts turn on flush-to-zero and
// denormals-are-zero on their audio threads (Ardour does by default), which
// changes the effects' results. Each entry point of the plug-ins sets the
// SSE control register to its default for the call and gives the host's
// setting back afterwards.
#pragma once

#include <xmmintrin.h>

namespace lv2plugin {

class DefaultFloatingPoint {
public:
    DefaultFloatingPoint() : saved_(_mm_getcsr()) { _mm_setcsr(kDefault); }
    ~DefaultFloatingPoint() { _mm_setcsr(saved_); }
    DefaultFloatingPoint(const DefaultFloatingPoint&) = delete;
    DefaultFloatingPoint& operator=(const DefaultFloatingPoint&) = delete;

private:
    static constexpr unsigned kDefault = 0x1F80;  // all exceptions masked, round to nearest
    unsigned saved_;
};

}  // namespace lv2plugin
