// The WAV reader of the Windows build on any bytes: it refuses with a
// reason, or every frame it announces can be read, in one go and in small
// blocks alike, and nothing beyond.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/fuzz/fuzz_checks.h"
#include "tools/os.h"
#include "tools/wav_file.h"

namespace tovana::fuzz {
namespace {

// The reader takes a path: one file per process, rewritten for each input.
class InputFile {
public:
    InputFile() : folder_(os::MakeTemporaryDirectory()), path_(os::Join(folder_, "input.wav")) {}
    ~InputFile() {
        os::RemoveFile(path_);
        os::RemoveEmptyDirectory(folder_);
    }
    bool Write(const std::string& bytes) const {
        // A new file each time: rewriting a truncated one makes some file
        // systems (ext4) wait for its old blocks on every close.
        os::RemoveFile(path_);
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr) return false;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        return std::fclose(file) == 0 && written;
    }
    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
};

}  // namespace

std::string CheckWavFile(const std::string& bytes) {
    static const InputFile input;
    if (!input.Write(bytes)) return "cannot write the input to " + input.path();
    WavReader reader;
    std::string error;
    if (!reader.Open(input.path(), &error)) return error.empty() ? "refused without a reason" : "";
    const std::int64_t frames = reader.frames();
    const std::int64_t channels = reader.channels();
    if (channels < 1 || frames < 0) return "accepted without channels or with a negative length";
    if (reader.sampleRate() < 1) return "accepted a sample rate of " + std::to_string(reader.sampleRate());
    // Every sample takes at least a byte of the file.
    if (frames * channels > static_cast<std::int64_t>(bytes.size())) return "announces more samples than it holds";
    if (reader.encoding().empty()) return "accepted without an encoding";

    std::vector<std::int16_t> whole(static_cast<std::size_t>(frames * channels));
    if (!reader.Read(0, whole.data(), frames, &error)) return "an announced frame cannot be read: " + error;
    // The second half first, so that the reader must seek back.
    std::vector<std::int16_t> blocks(whole.size());
    const std::int64_t half = frames / 2;
    const std::int64_t ranges[2][2] = {{half, frames}, {0, half}};
    for (const auto& [begin, end] : ranges) {
        for (std::int64_t frame = begin; frame < end; frame += 7) {
            const std::int64_t count = end - frame < 7 ? end - frame : 7;
            if (!reader.Read(frame, &blocks[static_cast<std::size_t>(frame * channels)], count, &error)) {
                return "a block of announced frames cannot be read: " + error;
            }
        }
    }
    if (blocks != whole) return "reading in blocks gives other samples than reading at once";
    std::vector<std::int16_t> beyond(static_cast<std::size_t>(channels));
    if (reader.Read(frames, beyond.data(), 1, &error) || reader.Read(-1, beyond.data(), 1, &error)) {
        return "reads a frame outside the file";
    }
    return "";
}

}  // namespace tovana::fuzz
