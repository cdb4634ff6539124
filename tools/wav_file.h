// RIFF/WAVE files without a library: reads PCM (8, 16, 24 and 32 bit),
// IEEE float (32 and 64 bit) and their WAVE_FORMAT_EXTENSIBLE forms as
// 16-bit samples, and writes 16-bit PCM. Integer samples keep their top 16
// bits, as libsndfile converts them; floats go through FloatToSample.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tovana {

class WavReader {
public:
    WavReader() = default;
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    bool Open(const std::string& path, std::string* error);
    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    std::int64_t frames() const { return frames_; }
    bool is16Bit() const { return !float_ && bytes_ == 2; }
    std::string encoding() const;

    // `count` frames from `frame` on, interleaved.
    bool Read(std::int64_t frame, std::int16_t* samples, std::int64_t count, std::string* error);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    int channels_ = 0;
    int sampleRate_ = 0;
    std::int64_t frames_ = 0;
    int bytes_ = 0;  // per sample
    bool float_ = false;
    std::int64_t dataOffset_ = 0;
    std::int64_t position_ = -1;  // frame the file is at; -1 unknown
    std::vector<unsigned char> buffer_;
};

// Writes into an open file; the sizes in the header are filled in by Finish.
class WavWriter {
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Start(std::FILE* file, int channels, int sampleRate);
    bool Write(std::int64_t frame, const std::int16_t* samples, std::int64_t count);
    // False when the file is too long for WAV or the sizes cannot be written.
    bool Finish();

private:
    std::FILE* file_ = nullptr;
    int channels_ = 0;
    std::int64_t position_ = 0;
    std::int64_t frames_ = 0;  // the end of what was written
    std::vector<unsigned char> buffer_;
};

}  // namespace tovana
