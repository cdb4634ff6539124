// Audio crosses the plug-in boundary as the effects' 16-bit samples: a host's
// float becomes round-half-to-even(clip(x * 32768, -32768, 32767)), and a
// sample goes back as sample / 32768. A float file made from 16-bit audio
// therefore reaches the effect with exactly its original samples.
#pragma once

#include <cmath>
#include <cstdint>

namespace lv2plugin {

inline std::int16_t SampleFromFloat(float x) {
    const double v = static_cast<double>(x) * 32768.0;  // exact
    if (std::isnan(v)) return 0;
    if (v <= -32768.0) return -32768;
    if (v >= 32767.0) return 32767;
    double whole = std::floor(v);
    const double fraction = v - whole;  // exact: v has at most 24 significant bits
    if (fraction > 0.5 || (fraction == 0.5 && (static_cast<std::int32_t>(whole) & 1) != 0)) {
        whole += 1.0;
    }
    return static_cast<std::int16_t>(whole);
}

inline float FloatFromSample(std::int16_t sample) { return static_cast<float>(sample) / 32768.0f; }

}  // namespace lv2plugin
