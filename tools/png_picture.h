// An 8-bit RGB picture written as a PNG file, and the text drawn on it.
#pragma once

#include <string>
#include <vector>

namespace tovana {

struct Rgb {
    unsigned char r, g, b;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // width * height * 3, rows top to bottom

    Picture() = default;
    Picture(int w, int h, Rgb background);
    // Clipped to the picture.
    void Fill(int x, int y, int w, int h, Rgb colour);
    void Set(int x, int y, Rgb colour) { Fill(x, y, 1, 1, colour); }
    Rgb At(int x, int y) const;
};

bool WritePng(const Picture& picture, const std::string& path, std::string* error);

// Text in a 5 by 8 pixel font of printable ASCII (other bytes show as '?'),
// each pixel `scale` by `scale`; characters are kGlyphAdvance apart.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 8;
constexpr int kGlyphAdvance = 6;
// The glyph's rows, top first; bit 4 is the leftmost pixel.
const unsigned char* Glyph(char c);
int TextWidth(const std::string& text, int scale);
// `x`, `y`: the top left corner of the first character.
void DrawText(Picture& picture, int x, int y, const std::string& text, Rgb colour, int scale);

}  // namespace tovana
