#include "tools/png_picture.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tools/png_deflate.h"

namespace tovana {
namespace {

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

}  // namespace

Picture::Picture(int w, int h, Rgb background) : width(w), height(h) {
    rgb.resize(static_cast<std::size_t>(w) * h * 3);
    Fill(0, 0, w, h, background);
}

void Picture::Fill(int x, int y, int w, int h, Rgb colour) {
    const int left = std::max(0, x), right = std::min(width, x + w);
    const int top = std::max(0, y), bottom = std::min(height, y + h);
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column) {
            unsigned char* pixel = &rgb[(static_cast<std::size_t>(row) * width + column) * 3];
            pixel[0] = colour.r;
            pixel[1] = colour.g;
            pixel[2] = colour.b;
        }
    }
}

Rgb Picture::At(int x, int y) const {
    const unsigned char* pixel = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return {pixel[0], pixel[1], pixel[2]};
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
        *error = "cannot compress the picture";
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

int TextWidth(const std::string& text, int scale) {
    return text.empty() ? 0 : (static_cast<int>(text.size()) * kGlyphAdvance - 1) * scale;
}

void DrawText(Picture& picture, int x, int y, const std::string& text, Rgb colour, int scale) {
    for (char c : text) {
        const unsigned char* rows = Glyph(c);
        for (int row = 0; row < kGlyphHeight; ++row) {
            for (int column = 0; column < kGlyphWidth; ++column) {
                if (rows[row] & (0x10 >> column)) {
                    picture.Fill(x + column * scale, y + row * scale, scale, scale, colour);
                }
            }
        }
        x += kGlyphAdvance * scale;
    }
}

}  // namespace tovana
