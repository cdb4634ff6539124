#include "tools/audio_io.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "tools/os.h"
#include "tools/resampler.h"
#include "tools/store_view.h"

namespace tovana {

struct AudioInput::File {
    SNDFILE* sf = nullptr;
    bool isFloat = false;
    std::vector<double> buffer;
};

struct AudioOutput::File {
    std::FILE* stream = nullptr;
    SNDFILE* sf = nullptr;
    std::unique_ptr<Resampler> resampler;  // when the file's rate differs
    std::vector<std::int16_t> resampled;
};

namespace {

std::string EncodingName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_SUBMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr) {
        return info.name;
    }
    return "an unknown encoding";
}

struct Alias {
    const char* extension;
    const char* as;
};
const Alias kAliases[] = {{"wave", "wav"}, {"aif", "aiff"}, {"aifc", "aiff"}, {"snd", "au"}, {"ircam", "sf"}};

// The lossy codecs libsndfile writes, by the extensions people give them.
struct Lossy {
    const char* extension;
    int format;
    const char* codec;
};
const Lossy kLossy[] = {
    {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, "MP3"},
    {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "Ogg Vorbis"},
    {"oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "Ogg Vorbis"},
    {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, "Opus"},
};
const int kOpusRates[] = {8000, 12000, 16000, 24000, 48000};

// Writes what the resampler has ready.
bool WriteResampled(SNDFILE* sf, std::vector<std::int16_t>& ready, int channels) {
    const sf_count_t frames = static_cast<sf_count_t>(ready.size() / static_cast<std::size_t>(channels));
    const bool ok = frames == 0 || sf_writef_short(sf, ready.data(), frames) == frames;
    ready.clear();
    return ok;
}

}  // namespace

AudioInput::~AudioInput() { Close(); }

void AudioInput::Close() {
    if (file_ == nullptr) return;
    if (file_->sf != nullptr) sf_close(file_->sf);
    delete file_;
    file_ = nullptr;
}

bool AudioInput::Open(const std::string& path, std::string* error) {
    path_ = path;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        *error = "cannot open " + shown() + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        *error = "cannot read " + shown() + ": it is a directory";
        return false;
    }
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    if (sf == nullptr) {
        *error = "cannot read " + shown() + " as audio: " + sf_strerror(nullptr);
        return false;
    }
    channels_ = info.channels;
    sampleRate_ = info.samplerate;
    frames_ = info.frames;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    is16Bit_ = subtype == SF_FORMAT_PCM_16;
    encoding_ = EncodingName(info.format);
    file_ = new File;
    file_->sf = sf;
    // libsndfile reads floating-point samples as 16-bit ones without
    // scaling them (0.5 becomes 0); they are read as floats and scaled here.
    file_->isFloat = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    sf_command(sf, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
    if (!info.seekable) {
        *error = "cannot read " + shown() + ": the file cannot be read in blocks (not seekable)";
        return false;
    }
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        // Without a Xing or LAME header (SoX writes none) libsndfile guesses
        // an MP3's length from its size; what decodes is counted instead.
        std::vector<short> block(static_cast<std::size_t>(4096 * channels_));
        frames_ = 0;
        for (sf_count_t got; (got = sf_readf_short(sf, block.data(), 4096)) > 0;) frames_ += got;
        if (sf_seek(sf, 0, SEEK_SET) != 0) {
            *error = "cannot read " + shown() + ": " + sf_strerror(sf);
            return false;
        }
    }
    return true;
}

bool AudioInput::Read(std::int64_t frame, std::int16_t* samples, std::int64_t count, std::string* error) {
    if (file_ == nullptr) {
        *error = "cannot read " + shown() + ": it is not open";
        return false;
    }
    SNDFILE* sf = file_->sf;
    if (frame != position_ && sf_seek(sf, frame, SEEK_SET) < 0) {
        *error = "cannot read " + shown() + ": " + sf_strerror(sf);
        return false;
    }
    sf_count_t got = 0;
    if (file_->isFloat) {
        std::vector<double>& buffer = file_->buffer;
        buffer.resize(static_cast<std::size_t>(count * channels_));
        got = sf_readf_double(sf, buffer.data(), count);
        for (sf_count_t i = 0; i < got * channels_; ++i) {
            samples[i] = FloatToSample(buffer[static_cast<std::size_t>(i)]);
        }
    } else {
        got = sf_readf_short(sf, samples, count);
    }
    position_ = frame + (got > 0 ? got : 0);
    if (got != count) {
        *error = "cannot read " + shown() + ": the file ended early or is damaged";
        return false;
    }
    return true;
}

AudioOutput::~AudioOutput() { Discard(); }

bool AudioOutput::Create(const std::string& path, int format, int channels, int sampleRate, std::string* error) {
    path_ = path;
    channels_ = channels;
    os::RemoveStaleTemporaries(path);
    std::string reason;
    std::FILE* stream = os::CreateTemporaryBeside(path, &temporary_, &reason);
    if (stream == nullptr) {
        *error = "cannot write " + shown() + ": " + reason;
        return false;
    }
    file_ = new File;
    file_->stream = stream;
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = WrittenRate(format, sampleRate);
    info.format = format;
    // The stream keeps the descriptor (and its lock) until the file is closed.
    file_->sf = sf_open_fd(fileno(stream), SFM_WRITE, &info, SF_FALSE);
    if (file_->sf == nullptr) {
        *error = "cannot write " + shown() + ": " + sf_strerror(nullptr);
        Discard();
        return false;
    }
    if (compression_ >= 0.0 && !LossyCodec(format).empty()) {
        // libsndfile's MP3 encoder reports false for level 1 though it takes it.
        double level = compression_;
        sf_command(file_->sf, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    }
    if (info.samplerate != sampleRate) {
        file_->resampler = std::make_unique<Resampler>(channels, sampleRate, info.samplerate);
    }
    return true;
}

bool AudioOutput::Write(std::int64_t frame, const std::int16_t* samples, std::int64_t count, std::string* error) {
    if (file_ == nullptr) {
        *error = "cannot write " + shown();
        return false;
    }
    if (frame != position_ && (file_->resampler != nullptr || sf_seek(file_->sf, frame, SEEK_SET) < 0)) {
        *error = "cannot write " + shown() + ": this format is written front to back only";
        return false;
    }
    if (file_->resampler != nullptr) {
        file_->resampler->Push(samples, count, &file_->resampled);
        if (!WriteResampled(file_->sf, file_->resampled, channels_)) {
            *error = "cannot write " + shown() + ": " + sf_strerror(file_->sf);
            return false;
        }
        position_ = frame + count;
        return true;
    }
    const sf_count_t put = sf_writef_short(file_->sf, samples, count);
    position_ = frame + (put > 0 ? put : 0);
    if (put != count) {
        *error = "cannot write " + shown() + ": " + sf_strerror(file_->sf);
        return false;
    }
    return true;
}

bool AudioOutput::Close(std::string* error) {
    if (file_ == nullptr) return true;
    bool tail = true;
    if (file_->resampler != nullptr) {
        file_->resampler->Finish(&file_->resampled);
        tail = WriteResampled(file_->sf, file_->resampled, channels_);
    }
    const std::string problem = tail ? "" : sf_strerror(file_->sf);
    sf_write_sync(file_->sf);
    const int result = sf_close(file_->sf);
    const bool closed = std::fclose(file_->stream) == 0;
    delete file_;
    file_ = nullptr;
    if (!tail || result != 0 || !closed) {
        *error = "cannot write " + shown() + ": " +
                 (!tail ? problem.c_str() : result != 0 ? sf_error_number(result) : std::strerror(errno));
        return false;
    }
    return true;
}

bool AudioOutput::Commit(std::string* error) {
    if (!Close(error)) return false;
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        *error = "cannot write " + shown() + ": " + std::strerror(errno);
        return false;
    }
    temporary_.clear();
    return true;
}

void AudioOutput::Discard() {
    if (file_ != nullptr) {
        if (file_->sf != nullptr) sf_close(file_->sf);
        std::fclose(file_->stream);
        delete file_;
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        os::RemoveFile(temporary_);
        temporary_.clear();
    }
}

int OutputFormatFor(const std::string& path, int channels) {
    std::string extension = FileExtension(path);
    for (const Alias& alias : kAliases) {
        if (extension == alias.extension) extension = alias.as;
    }
    if (extension.empty() || extension == "raw") return 0;
    for (const Lossy& lossy : kLossy) {
        if (extension != lossy.extension) continue;
        SF_INFO check{};
        check.channels = channels;
        check.samplerate = 48000;
        check.format = lossy.format;
        return sf_format_check(&check) ? lossy.format : 0;
    }
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
        if (info.extension == nullptr || extension != info.extension) continue;
        SF_INFO check{};
        check.channels = channels;
        check.samplerate = 44100;
        check.format = info.format | SF_FORMAT_PCM_16;
        if (sf_format_check(&check)) return check.format;
    }
    return 0;
}

std::string OutputExtensions() {
    std::string list;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
        if (info.extension == nullptr || std::strcmp(info.extension, "raw") == 0) continue;
        SF_INFO check{};
        check.channels = 2;
        check.samplerate = 44100;
        check.format = info.format | SF_FORMAT_PCM_16;
        if (!sf_format_check(&check)) continue;
        const std::string item = info.extension;
        if ((", " + list + ",").find(", " + item + ",") != std::string::npos) continue;
        list += (list.empty() ? "" : ", ") + item;
    }
    for (const char* lossy : {"mp3", "ogg", "opus"}) {
        if (OutputFormatFor(std::string("x.") + lossy, 2) != 0) list += std::string(", ") + lossy;
    }
    return list;
}

std::string OutputFormatAdvice(const std::string&) { return "use one of the extensions " + OutputExtensions(); }

std::string LossyCodec(int format) {
    for (const Lossy& lossy : kLossy) {
        if (format == lossy.format) return lossy.codec;
    }
    return "";
}

int WrittenRate(int format, int sampleRate) {
    if (format != (SF_FORMAT_OGG | SF_FORMAT_OPUS)) return sampleRate;
    for (int rate : kOpusRates) {
        if (rate >= sampleRate) return rate;
    }
    return kOpusRates[4];
}

}  // namespace tovana
