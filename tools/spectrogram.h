// A before/after spectrogram picture of a run, laid out as SoX draws one: a
// title, a panel per file with time in seconds along its foot and frequency
// in kHz up its left side (0 Hz at the bottom, half the input's sample rate
// at the top), and a colour bar of the level in dBFS (0 dBFS: a full-scale
// sine).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/png_picture.h"

namespace tovana {

struct SpectrogramSide {
    std::string path;   // the file read
    std::string label;  // what the picture calls it
};

struct SpectrogramRequest {
    std::string title;  // what was applied
    SpectrogramSide before;
    SpectrogramSide after;
    double startSeconds = 0.0;  // the stretch shown, the same in both files
    double seconds = 0.0;
};

bool WriteSpectrogram(const SpectrogramRequest& request, const std::string& pngPath, std::string* error);

// In-place radix-2 FFT of `re`/`im` (size a power of two).
void Fft(std::vector<double>& re, std::vector<double>& im);

}  // namespace tovana
