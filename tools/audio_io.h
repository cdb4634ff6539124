// Audio files read and written in blocks: a run never holds more than one
// block of a file in memory. Samples are always 16-bit; other encodings are
// converted on the way in. On Linux libsndfile reads and writes every
// format it knows (audio_io.cpp); the Windows build reads and writes WAV
// files itself (audio_io_wav.cpp). Both convert alike.
#pragma once

#include <cstdint>
#include <string>

namespace tovana {

class AudioInput {
public:
    AudioInput() = default;
    ~AudioInput();
    AudioInput(const AudioInput&) = delete;
    AudioInput& operator=(const AudioInput&) = delete;

    bool Open(const std::string& path, std::string* error);
    // The name messages give the file ("standard input" for a spooled pipe).
    void ShowAs(const std::string& name) { name_ = name; }
    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    std::int64_t frames() const { return frames_; }
    bool is16Bit() const { return is16Bit_; }
    // "Signed 24 bit PCM", "32 bit float", ... as libsndfile names the encoding.
    const std::string& encoding() const { return encoding_; }

    // `count` frames starting at `frame`, interleaved; seeks when needed.
    bool Read(std::int64_t frame, std::int16_t* samples, std::int64_t count, std::string* error);
    // Lets go of the file, so that an output may take its place (Windows
    // cannot replace a file that is open).
    void Close();

private:
    struct File;  // the backend's
    const std::string& shown() const { return name_.empty() ? path_ : name_; }

    File* file_ = nullptr;
    std::string path_;
    std::string name_;
    int channels_ = 0;
    int sampleRate_ = 0;
    std::int64_t frames_ = 0;
    std::int64_t position_ = 0;
    bool is16Bit_ = false;
    std::string encoding_;
};

// A file written beside its final name and put in place by Commit, so that
// a failure or a cancel never leaves a half-written file under that name.
class AudioOutput {
public:
    AudioOutput() = default;
    ~AudioOutput();  // discards what was not committed
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    void ShowAs(const std::string& name) { name_ = name; }
    // For a lossy format, libsndfile's compression level from 0 (best sound)
    // to 1 (smallest file); given before Create. Without it the codec's own.
    void SetCompression(double level) { compression_ = level; }
    // Frames given to Write are at `sampleRate`; the file is written at
    // WrittenRate(format, sampleRate), resampled when that differs.
    bool Create(const std::string& path, int format, int channels, int sampleRate, std::string* error);
    bool Write(std::int64_t frame, const std::int16_t* samples, std::int64_t count, std::string* error);
    // Closes the file; it stays under its temporary name until Commit.
    bool Close(std::string* error);
    bool Commit(std::string* error);
    void Discard();
    const std::string& temporaryPath() const { return temporary_; }

private:
    struct File;  // the backend's
    const std::string& shown() const { return name_.empty() ? path_ : name_; }

    File* file_ = nullptr;
    std::string path_;
    std::string name_;
    std::string temporary_;
    int channels_ = 0;
    std::int64_t position_ = 0;
    double compression_ = -1.0;  // negative: the codec's default
};

// The backend's format for a file name's extension: 16-bit PCM, or the
// lossy codec of .mp3, .ogg and .opus where the backend has them; 0 when
// none can hold `channels` channels.
int OutputFormatFor(const std::string& path, int channels);
// "wav, aiff, au, flac, ..." for messages.
std::string OutputExtensions();
// What to do instead when an extension names no format this build writes.
std::string OutputFormatAdvice(const std::string& extension);
// The codec of a lossy format ("MP3", "Ogg Vorbis", "Opus"); empty for the
// lossless ones.
std::string LossyCodec(int format);
// The rate a file of `format` holds audio of `sampleRate` at: the same rate
// but for Opus, which takes 8, 12, 16, 24 or 48 kHz only.
int WrittenRate(int format, int sampleRate);

// The extension of a file name in lower case, "" when it has none.
std::string FileExtension(const std::string& path);

// A floating-point sample (full scale 1.0) as a 16-bit one: scaled by
// 32768, so that 16-bit audio stored as floats reads back unchanged,
// rounded to the nearest (ties to even) and clipped.
std::int16_t FloatToSample(double value);

// Copies frames [first, first + count) from `in` to `out` in blocks.
bool CopyFrames(AudioInput& in, AudioOutput& out, std::int64_t first, std::int64_t count, std::string* error);

}  // namespace tovana
