// A before/after spectrogram picture of a run: the input's selection on
// top, the output's below, time running left to right and frequency from
// 0 Hz at the bottom of each panel to half the sample rate at its top.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tovana {

bool WriteSpectrogram(const std::string& before, const std::string& after, const std::string& pngPath,
                      std::int64_t first, std::int64_t count, std::string* error);

// An 8-bit RGB picture, rows top to bottom, written as PNG.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // width * height * 3
};
bool WritePng(const Picture& picture, const std::string& path, std::string* error);

// In-place radix-2 FFT of `re`/`im` (size a power of two).
void Fft(std::vector<double>& re, std::vector<double>& im);

}  // namespace tovana
