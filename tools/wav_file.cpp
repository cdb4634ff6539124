#include "tools/wav_file.h"

#include <cerrno>
#include <cstring>

#include "tools/audio_io.h"
#include "tools/os.h"

namespace tovana {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::int64_t kHeaderBytes = 44;

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void Put16(unsigned char* p, std::uint32_t value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* p, std::uint32_t value) {
    Put16(p, value);
    Put16(p + 2, value >> 16);
}

}  // namespace

WavReader::~WavReader() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string WavReader::encoding() const {
    if (float_) return bytes_ == 4 ? "32 bit float" : "64 bit float";
    switch (bytes_) {
        case 1: return "Unsigned 8 bit PCM";
        case 2: return "Signed 16 bit PCM";
        case 3: return "Signed 24 bit PCM";
        default: return "Signed 32 bit PCM";
    }
}

bool WavReader::Open(const std::string& path, std::string* error) {
    path_ = path;
    auto refuse = [&](const std::string& why) {
        *error = "cannot read " + path + " as audio: " + why;
        return false;
    };
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    unsigned char riff[12];
    if (std::fread(riff, 1, sizeof riff, file_) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return refuse("not a WAV file (this build reads WAV files only)");
    }
    bool haveFormat = false;
    std::uint16_t tag = 0;
    int blockAlign = 0;
    int bits = 0;
    std::int64_t at = 12;
    for (;;) {
        unsigned char header[8];
        if (!os::Seek(file_, at) || std::fread(header, 1, sizeof header, file_) != sizeof header) {
            return refuse(haveFormat ? "the file has no audio data" : "the file has no format chunk");
        }
        const std::uint32_t size = Le32(header + 4);
        const std::int64_t body = at + 8;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            unsigned char format[40] = {};
            const std::size_t want = size < sizeof format ? size : sizeof format;
            if (size < 16 || std::fread(format, 1, want, file_) != want) return refuse("its format chunk is damaged");
            tag = Le16(format);
            channels_ = Le16(format + 2);
            const std::uint32_t rate = Le32(format + 4);
            if (rate == 0 || rate > 0x7fffffffu) return refuse("its sample rate is not a rate");
            sampleRate_ = static_cast<int>(rate);
            blockAlign = Le16(format + 12);
            bits = Le16(format + 14);
            if (tag == kFormatExtensible) {
                if (size < 40) return refuse("its format chunk is damaged");
                tag = Le16(format + 24);  // the sub-format GUID starts with the format code
            }
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat) return refuse("the audio data comes before its format");
            dataOffset_ = body;
            std::int64_t length = size;
            // A file cut short holds less than its header says, and a
            // header written while recording may say nothing.
            const std::int64_t end = os::Length(file_);
            if (end >= 0 && (length == 0 || length == 0xFFFFFFFF || body + length > end)) length = end - body;
            if (channels_ < 1) return refuse("it declares no channels");
            bytes_ = blockAlign / channels_;
            const bool pcm = tag == kFormatPcm && bytes_ >= 1 && bytes_ <= 4 && bits > 0 && bits <= bytes_ * 8;
            const bool floats = tag == kFormatFloat && ((bytes_ == 4 && bits == 32) || (bytes_ == 8 && bits == 64));
            if ((!pcm && !floats) || blockAlign != bytes_ * channels_) {
                return refuse("its encoding (format " + std::to_string(tag) + ", " + std::to_string(bits) +
                              " bit) is not PCM of 8 to 32 bits or 32 or 64 bit float");
            }
            float_ = floats;
            frames_ = length > 0 ? length / blockAlign : 0;
            position_ = -1;
            return true;
        }
        at = body + size + (size & 1);
    }
}

bool WavReader::Read(std::int64_t frame, std::int16_t* samples, std::int64_t count, std::string* error) {
    auto fail = [&] {
        *error = "cannot read " + path_ + ": the file ended early or is damaged";
        position_ = -1;
        return false;
    };
    if (frame < 0 || count < 0 || frame + count > frames_) return fail();
    if (frame != position_ && !os::Seek(file_, dataOffset_ + frame * bytes_ * channels_)) return fail();
    const std::size_t values = static_cast<std::size_t>(count * channels_);
    buffer_.resize(values * static_cast<std::size_t>(bytes_));
    if (std::fread(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) return fail();
    position_ = frame + count;
    const unsigned char* p = buffer_.data();
    for (std::size_t i = 0; i < values; ++i, p += bytes_) {
        if (float_) {
            if (bytes_ == 4) {
                float value;
                std::uint32_t word = Le32(p);
                std::memcpy(&value, &word, sizeof value);
                samples[i] = FloatToSample(static_cast<double>(value));
            } else {
                double value;
                const std::uint64_t word = Le32(p) | static_cast<std::uint64_t>(Le32(p + 4)) << 32;
                std::memcpy(&value, &word, sizeof value);
                samples[i] = FloatToSample(value);
            }
        } else if (bytes_ == 1) {
            samples[i] = static_cast<std::int16_t>((p[0] - 128) * 256);  // 8-bit WAV is unsigned
        } else {
            // The top two bytes: the sample truncated to 16 bits.
            samples[i] = static_cast<std::int16_t>(Le16(p + bytes_ - 2));
        }
    }
    return true;
}

bool WavWriter::Start(std::FILE* file, int channels, int sampleRate) {
    file_ = file;
    channels_ = channels;
    position_ = 0;
    frames_ = 0;
    unsigned char header[kHeaderBytes] = {};
    std::memcpy(header, "RIFF", 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, kFormatPcm);
    Put16(header + 22, static_cast<std::uint32_t>(channels));
    Put32(header + 24, static_cast<std::uint32_t>(sampleRate));
    Put32(header + 28, static_cast<std::uint32_t>(sampleRate * channels * 2));
    Put16(header + 32, static_cast<std::uint32_t>(channels * 2));
    Put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    return std::fwrite(header, 1, sizeof header, file_) == sizeof header;
}

bool WavWriter::Write(std::int64_t frame, const std::int16_t* samples, std::int64_t count) {
    if (frame != position_ && !os::Seek(file_, kHeaderBytes + frame * channels_ * 2)) return false;
    const std::size_t values = static_cast<std::size_t>(count * channels_);
    buffer_.resize(values * 2);
    for (std::size_t i = 0; i < values; ++i) Put16(&buffer_[i * 2], static_cast<std::uint16_t>(samples[i]));
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) return false;
    position_ = frame + count;
    if (position_ > frames_) frames_ = position_;
    return true;
}

bool WavWriter::Finish() {
    const std::int64_t data = frames_ * channels_ * 2;
    if (data + kHeaderBytes - 8 > 0xFFFFFFFFll) return false;
    unsigned char size[4];
    Put32(size, static_cast<std::uint32_t>(data + kHeaderBytes - 8));
    if (!os::Seek(file_, 4) || std::fwrite(size, 1, 4, file_) != 4) return false;
    Put32(size, static_cast<std::uint32_t>(data));
    if (!os::Seek(file_, 40) || std::fwrite(size, 1, 4, file_) != 4) return false;
    return std::fflush(file_) == 0;
}

}  // namespace tovana
