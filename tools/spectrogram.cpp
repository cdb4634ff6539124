#include "tools/spectrogram.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/audio_io.h"
#include "tools/png_deflate.h"

namespace tovana {
namespace {

constexpr int kWindow = 1024;
constexpr int kRows = 256;
constexpr int kMaxColumns = 1000;
constexpr int kGap = 4;
constexpr double kFloorDb = -100.0;
constexpr double kPi = 3.14159265358979323846;

void PutBigEndian(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, Crc32(out.data() + start, out.size() - start));
}

// Dark blue through red and yellow to white as the level rises.
void Colour(double level, unsigned char* rgb) {
    static const double kStops[][3] = {{0, 0, 0}, {40, 10, 90}, {160, 30, 80}, {230, 90, 20}, {250, 200, 40},
                                       {255, 255, 230}};
    const double x = std::clamp(level, 0.0, 1.0) * 5.0;
    const int i = std::min(4, static_cast<int>(x));
    const double t = x - i;
    for (int c = 0; c < 3; ++c) {
        rgb[c] = static_cast<unsigned char>(kStops[i][c] + (kStops[i + 1][c] - kStops[i][c]) * t);
    }
}

// Paints one panel of `columns` columns from rows `top` on.
bool Panel(const std::string& path, std::int64_t first, std::int64_t count, int columns, int top, Picture* picture,
           std::string* error) {
    AudioInput input;
    if (!input.Open(path, error)) return false;
    const int channels = input.channels();
    std::vector<std::int16_t> frames(static_cast<std::size_t>(kWindow * channels));
    std::vector<double> re(kWindow), im(kWindow);
    for (int column = 0; column < columns; ++column) {
        const std::int64_t at = first + count * column / columns;
        const std::int64_t available = std::min<std::int64_t>(kWindow, input.frames() - at);
        std::fill(frames.begin(), frames.end(), 0);
        if (available > 0 && !input.Read(at, frames.data(), available, error)) return false;
        for (int n = 0; n < kWindow; ++n) {
            double sum = 0.0;
            for (int c = 0; c < channels; ++c) sum += frames[static_cast<std::size_t>(n * channels + c)];
            const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * n / kWindow);
            re[n] = sum / channels / 32768.0 * hann;
            im[n] = 0.0;
        }
        Fft(re, im);
        for (int row = 0; row < kRows; ++row) {
            // Two bins per row, the top row at half the sample rate.
            const int bin = (kRows - 1 - row) * 2 + 1;
            double power = 0.0;
            for (int b = bin; b < bin + 2; ++b) power = std::max(power, re[b] * re[b] + im[b] * im[b]);
            const double db = 10.0 * std::log10(power / (kWindow * kWindow / 16.0) + 1e-20);
            Colour((db - kFloorDb) / -kFloorDb,
                   &picture->rgb[(static_cast<std::size_t>(top + row) * picture->width + column) * 3]);
        }
    }
    return true;
}

}  // namespace

void Fft(std::vector<double>& re, std::vector<double>& im) {
    const std::size_t n = re.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const double angle = -2.0 * kPi / static_cast<double>(length);
        for (std::size_t start = 0; start < n; start += length) {
            for (std::size_t k = 0; k < length / 2; ++k) {
                const double wr = std::cos(angle * k);
                const double wi = std::sin(angle * k);
                const std::size_t a = start + k;
                const std::size_t b = a + length / 2;
                const double tr = re[b] * wr - im[b] * wi;
                const double ti = re[b] * wi + im[b] * wr;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
}

bool WritePng(const Picture& picture, const std::string& path, std::string* error) {
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<std::size_t>(picture.height) * (picture.width * 3 + 1));
    for (int y = 0; y < picture.height; ++y) {
        raw.push_back(0);  // no filter
        const auto row = picture.rgb.begin() + static_cast<std::ptrdiff_t>(y) * picture.width * 3;
        raw.insert(raw.end(), row, row + picture.width * 3);
    }
    const std::vector<unsigned char> packed = ZlibStream(raw);
    if (packed.empty()) {
        *error = "cannot compress the spectrogram";
        return false;
    }
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    PutBigEndian(header, static_cast<std::uint32_t>(picture.width));
    PutBigEndian(header, static_cast<std::uint32_t>(picture.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (std::fclose(file) != 0 || !written) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

bool WriteSpectrogram(const std::string& before, const std::string& after, const std::string& pngPath,
                      std::int64_t first, std::int64_t count, std::string* error) {
    Picture picture;
    picture.width = static_cast<int>(std::clamp<std::int64_t>(count / 256, 1, kMaxColumns));
    picture.height = 2 * kRows + kGap;
    picture.rgb.assign(static_cast<std::size_t>(picture.width) * picture.height * 3, 128);
    if (!Panel(before, first, count, picture.width, 0, &picture, error)) return false;
    if (!Panel(after, first, count, picture.width, kRows + kGap, &picture, error)) return false;
    return WritePng(picture, pngPath, error);
}

}  // namespace tovana
