#include "tools/spectrogram.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/audio_io.h"

namespace tovana {
namespace {

constexpr int kWindow = 1024;
constexpr int kColumns = 800;  // as SoX's default width
constexpr int kRows = 256;
constexpr double kFloorDb = -100.0;
constexpr double kPi = 3.14159265358979323846;

// The layout, in pixels.
constexpr int kMargin = 12;
constexpr int kTitleScale = 2;
constexpr int kTextScale = 1;
constexpr int kLine = kGlyphHeight * kTextScale;
constexpr int kTick = 4;
constexpr int kBarGap = 20;
constexpr int kBarWidth = 14;

constexpr Rgb kBackground = {0, 0, 0};
constexpr Rgb kText = {235, 235, 235};
constexpr Rgb kFrame = {150, 150, 150};

// Black through purple, red and yellow to white as the level rises, as
// SoX's default palette does.
Rgb Colour(double level) {
    static const double kStops[][3] = {{0, 0, 0}, {40, 10, 90}, {160, 30, 80}, {230, 90, 20}, {250, 200, 40},
                                       {255, 255, 230}};
    const double x = std::clamp(level, 0.0, 1.0) * 5.0;
    const int i = std::min(4, static_cast<int>(x));
    const double t = x - i;
    unsigned char c[3];
    for (int k = 0; k < 3; ++k) c[k] = static_cast<unsigned char>(kStops[i][k] + (kStops[i + 1][k] - kStops[i][k]) * t);
    return {c[0], c[1], c[2]};
}

// The smallest of 1, 2 or 5 times a power of ten that is at least `minimum`.
double NiceStep(double minimum) {
    for (double power = std::pow(10.0, std::floor(std::log10(minimum)));; power *= 10.0) {
        for (double m : {1.0, 2.0, 5.0}) {
            if (m * power >= minimum * (1.0 - 1e-9)) return m * power;
        }
    }
}

std::string Number(double value, double step) {
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value) < step / 2 ? 0.0 : value);
    return text;
}

// Mono samples of a file in the order the columns ask for them, read front
// to back where the windows overlap, so lossy files are not seeked per column.
class WindowReader {
public:
    explicit WindowReader(AudioInput& input) : input_(input) {}
    // `kWindow` samples from frame `start` (which only grows), silence outside the file.
    bool Read(std::int64_t start, double* out, std::string* error) {
        const std::int64_t end = start + kWindow;
        if (start >= bufferEnd_ || start < bufferStart_) {
            buffer_.clear();
            bufferStart_ = bufferEnd_ = start;
        } else {
            buffer_.erase(buffer_.begin(), buffer_.begin() + (start - bufferStart_));
            bufferStart_ = start;
        }
        const int channels = input_.channels();
        const std::int64_t from = std::max<std::int64_t>(bufferEnd_, 0);
        const std::int64_t to = std::min<std::int64_t>(end, input_.frames());
        for (std::int64_t frame = bufferEnd_; frame < std::min(from, end); ++frame) buffer_.push_back(0.0);
        if (to > from) {
            frames_.resize(static_cast<std::size_t>((to - from) * channels));
            if (!input_.Read(from, frames_.data(), to - from, error)) return false;
            for (std::int64_t i = 0; i < to - from; ++i) {
                double sum = 0.0;
                for (int c = 0; c < channels; ++c) sum += frames_[static_cast<std::size_t>(i * channels + c)];
                buffer_.push_back(sum / channels / 32768.0);
            }
        }
        while (static_cast<std::int64_t>(buffer_.size()) < end - bufferStart_) buffer_.push_back(0.0);
        bufferEnd_ = end;
        std::copy(buffer_.begin(), buffer_.begin() + kWindow, out);
        return true;
    }

private:
    AudioInput& input_;
    std::vector<double> buffer_;
    std::vector<std::int16_t> frames_;
    std::int64_t bufferStart_ = 0;
    std::int64_t bufferEnd_ = 0;
};

struct Layout {
    int left = 0;        // of the panels
    int tops[2] = {};    // of each panel
    int barLeft = 0;
    int width = 0;
    int height = 0;
};

Layout MakeLayout() {
    Layout layout;
    layout.left = kMargin + TextWidth("00.0", kTextScale) + kTick + 4;
    int y = kMargin + kGlyphHeight * kTitleScale + 12;
    for (int& top : layout.tops) {
        top = y + kLine + 5;
        y = top + kRows + kTick + 3 + kLine + 10;
    }
    layout.barLeft = layout.left + kColumns + kBarGap;
    layout.width = layout.barLeft + kBarWidth + kTick + 3 + TextWidth("-100", kTextScale) + kMargin;
    layout.height = y + kLine + kMargin - 6;
    return layout;
}

// The row of a panel, counted from its top, that shows `hertz`.
int RowOf(double hertz, double topHertz) {
    const int band = std::min(kRows - 1, static_cast<int>(std::floor(hertz / topHertz * kRows)));
    return kRows - 1 - band;
}

// Paints the panel of `side` with its top left corner at (`left`, `top`).
bool Panel(const SpectrogramSide& side, const SpectrogramRequest& request, double topHertz, int left, int top,
           Picture* picture, std::string* error) {
    AudioInput input;
    input.ShowAs(side.label);
    if (!input.Open(side.path, error)) return false;
    const double rate = input.sampleRate();
    // Each row shows the strongest bin of its band; a band narrower than a
    // bin shows the bin nearest its middle.
    int firstBin[kRows], lastBin[kRows];
    auto binAt = [&](double hertz) { return hertz * kWindow / rate; };
    for (int band = 0; band < kRows; ++band) {
        const double low = band * topHertz / kRows, high = (band + 1) * topHertz / kRows;
        firstBin[band] = static_cast<int>(std::ceil(binAt(low)));
        // The top band includes half the sample rate itself.
        lastBin[band] = band == kRows - 1 ? static_cast<int>(std::floor(binAt(high)))
                                          : static_cast<int>(std::ceil(binAt(high))) - 1;
        lastBin[band] = std::min(kWindow / 2, lastBin[band]);
        if (lastBin[band] < firstBin[band]) {
            const int nearest = static_cast<int>(std::lround(binAt((low + high) / 2)));
            firstBin[band] = lastBin[band] = std::min(kWindow / 2, nearest);
        }
    }
    WindowReader reader(input);
    std::vector<double> samples(kWindow), re(kWindow), im(kWindow);
    for (int column = 0; column < kColumns; ++column) {
        // The window is centred on the column's instant.
        const double seconds = request.startSeconds + request.seconds * (column + 0.5) / kColumns;
        const std::int64_t centre = static_cast<std::int64_t>(std::llround(seconds * rate));
        if (!reader.Read(centre - kWindow / 2, samples.data(), error)) return false;
        for (int n = 0; n < kWindow; ++n) {
            re[n] = samples[n] * (0.5 - 0.5 * std::cos(2.0 * kPi * n / kWindow));
            im[n] = 0.0;
        }
        Fft(re, im);
        for (int band = 0; band < kRows; ++band) {
            double power = 0.0;
            for (int b = firstBin[band]; b <= lastBin[band]; ++b) {
                power = std::max(power, re[b] * re[b] + im[b] * im[b]);
            }
            // A full-scale sine through the Hann window peaks at kWindow / 4.
            const double db = 10.0 * std::log10(power / (kWindow * kWindow / 16.0) + 1e-20);
            picture->Set(left + column, top + kRows - 1 - band, Colour((db - kFloorDb) / -kFloorDb));
        }
    }
    return true;
}

void Frame(Picture& picture, int left, int top, int width, int height) {
    picture.Fill(left - 1, top - 1, width + 2, 1, kFrame);
    picture.Fill(left - 1, top + height, width + 2, 1, kFrame);
    picture.Fill(left - 1, top, 1, height, kFrame);
    picture.Fill(left + width, top, 1, height, kFrame);
}

// The kHz axis on the left of a panel and the seconds below it.
void Axes(Picture& picture, const Layout& layout, int top, double topHertz, const SpectrogramRequest& request) {
    const double kiloStep = NiceStep(topHertz / 1000.0 * 22.0 / kRows);  // ticks at least 22 pixels apart
    for (double khz = 0.0; khz <= topHertz / 1000.0 + 1e-9; khz += kiloStep) {
        const int y = top + RowOf(khz * 1000.0, topHertz);
        picture.Fill(layout.left - 1 - kTick, y, kTick, 1, kFrame);
        const std::string label = Number(khz, kiloStep);
        DrawText(picture, layout.left - 1 - kTick - 3 - TextWidth(label, kTextScale), y - 3 * kTextScale, label,
                 kText, kTextScale);
    }
    DrawText(picture, layout.left - 1 - kTick - 3 - TextWidth("kHz", kTextScale), top - kLine - 5, "kHz", kText,
             kTextScale);
    const double secondStep = NiceStep(request.seconds * 56.0 / kColumns);  // at least 56 pixels apart
    const int bottom = top + kRows + 1;
    for (double t = std::ceil(request.startSeconds / secondStep - 1e-9) * secondStep;
         t <= request.startSeconds + request.seconds + 1e-9; t += secondStep) {
        const int x = layout.left + std::clamp(static_cast<int>(std::floor((t - request.startSeconds) /
                                                                            request.seconds * kColumns)),
                                               0, kColumns - 1);
        picture.Fill(x, bottom, 1, kTick, kFrame);
        const std::string label = Number(t, secondStep);
        DrawText(picture, x - TextWidth(label, kTextScale) / 2, bottom + kTick + 3, label, kText, kTextScale);
    }
}

// The colour bar beside both panels, 0 dBFS at its top.
void ColourBar(Picture& picture, const Layout& layout) {
    const int top = layout.tops[0], height = layout.tops[1] + kRows - top;
    for (int y = 0; y < height; ++y) {
        picture.Fill(layout.barLeft, top + y, kBarWidth, 1, Colour(1.0 - static_cast<double>(y) / (height - 1)));
    }
    Frame(picture, layout.barLeft, top, kBarWidth, height);
    for (int db = 0; db >= kFloorDb; db -= 10) {
        const int y = top + static_cast<int>(std::lround(-db / -kFloorDb * (height - 1)));
        picture.Fill(layout.barLeft + kBarWidth + 1, y, kTick, 1, kFrame);
        DrawText(picture, layout.barLeft + kBarWidth + 1 + kTick + 3, y - 3 * kTextScale, std::to_string(db), kText,
                 kTextScale);
    }
    DrawText(picture, layout.barLeft + kBarWidth / 2 - TextWidth("dBFS", kTextScale) / 2, top - kLine - 5, "dBFS",
             kText, kTextScale);
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

bool WriteSpectrogram(const SpectrogramRequest& request, const std::string& pngPath, std::string* error) {
    const Layout layout = MakeLayout();
    Picture picture(layout.width, layout.height, kBackground);
    // Both panels share the frequency axis of the input.
    AudioInput input;
    input.ShowAs(request.before.label);
    if (!input.Open(request.before.path, error)) return false;
    const double topHertz = input.sampleRate() / 2.0;
    input.Close();

    DrawText(picture, layout.left + kColumns / 2 - TextWidth(request.title, kTitleScale) / 2, kMargin, request.title,
             kText, kTitleScale);
    const SpectrogramSide* sides[2] = {&request.before, &request.after};
    for (int i = 0; i < 2; ++i) {
        const int top = layout.tops[i];
        if (!Panel(*sides[i], request, topHertz, layout.left, top, &picture, error)) return false;
        Frame(picture, layout.left, top, kColumns, kRows);
        Axes(picture, layout, top, topHertz, request);
        // A long name keeps its end, which tells the files apart.
        std::string label = sides[i]->label;
        const std::size_t fits = static_cast<std::size_t>((kColumns + 1) / (kGlyphAdvance * kTextScale));
        if (label.size() > fits) label = "..." + label.substr(label.size() - (fits - 3));
        DrawText(picture, layout.left + kColumns / 2 - TextWidth(label, kTextScale) / 2, top - kLine - 5, label, kText,
                 kTextScale);
    }
    const std::string caption = "time (s)";
    DrawText(picture, layout.left + kColumns / 2 - TextWidth(caption, kTextScale) / 2,
             layout.tops[1] + kRows + 1 + kTick + 3 + kLine + 6, caption, kText, kTextScale);
    ColourBar(picture, layout);
    return WritePng(picture, pngPath, error);
}

}  // namespace tovana
