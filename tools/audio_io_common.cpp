// What both audio backends share.
#include <cmath>
#include <vector>

#include "tools/audio_io.h"
#include "tools/os.h"
#include "tools/store_view.h"

namespace tovana {

std::string FileExtension(const std::string& path) {
    const std::size_t slash = os::LastSeparator(path);
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return Lower(path.substr(dot + 1));
}

std::int16_t FloatToSample(double value) {
    const double scaled = value * 32768.0;
    if (!(scaled > -32768.0)) return scaled != scaled ? 0 : -32768;  // NaN reads as silence
    if (scaled >= 32767.0) return 32767;
    return static_cast<std::int16_t>(std::nearbyint(scaled));
}

bool CopyFrames(AudioInput& in, AudioOutput& out, std::int64_t first, std::int64_t count, std::string* error) {
    constexpr std::int64_t kBlockFrames = 16384;
    std::vector<std::int16_t> block(static_cast<std::size_t>(kBlockFrames * in.channels()));
    for (std::int64_t done = 0; done < count;) {
        const std::int64_t n = count - done < kBlockFrames ? count - done : kBlockFrames;
        if (!in.Read(first + done, block.data(), n, error)) return false;
        if (!out.Write(first + done, block.data(), n, error)) return false;
        done += n;
    }
    return true;
}

}  // namespace tovana
