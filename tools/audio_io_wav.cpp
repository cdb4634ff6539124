// Audio files where libsndfile is not at hand: WAV only, read in every
// common encoding and written as 16-bit PCM.
#include <cstdio>

#include "tools/audio_io.h"
#include "tools/os.h"
#include "tools/wav_file.h"

namespace tovana {

struct AudioInput::File {
    WavReader reader;
};

struct AudioOutput::File {
    std::FILE* stream = nullptr;
    WavWriter writer;
};

namespace {

// The reader's messages name the file it opened; a spooled pipe goes by
// the name it was given.
bool Named(bool ok, const std::string& path, const std::string& shown, std::string* error) {
    for (std::size_t at = 0; !ok && (at = error->find(path, at)) != std::string::npos; at += shown.size()) {
        error->replace(at, path.size(), shown);
    }
    return ok;
}

}  // namespace

AudioInput::~AudioInput() { Close(); }

void AudioInput::Close() {
    delete file_;
    file_ = nullptr;
}

bool AudioInput::Open(const std::string& path, std::string* error) {
    path_ = path;
    std::string reason;
    const os::FileKind kind = os::KindOf(path, &reason);
    if (kind == os::FileKind::Missing) {
        *error = "cannot open " + shown() + ": " + reason;
        return false;
    }
    if (kind == os::FileKind::Directory) {
        *error = "cannot read " + shown() + ": it is a directory";
        return false;
    }
    file_ = new File;
    if (!Named(file_->reader.Open(path, error), path, shown(), error)) return false;
    channels_ = file_->reader.channels();
    sampleRate_ = file_->reader.sampleRate();
    frames_ = file_->reader.frames();
    is16Bit_ = file_->reader.is16Bit();
    encoding_ = file_->reader.encoding();
    return true;
}

bool AudioInput::Read(std::int64_t frame, std::int16_t* samples, std::int64_t count, std::string* error) {
    if (file_ == nullptr) {
        *error = "cannot read " + shown() + ": it is not open";
        return false;
    }
    return Named(file_->reader.Read(frame, samples, count, error), path_, shown(), error);
}

AudioOutput::~AudioOutput() { Discard(); }

bool AudioOutput::Create(const std::string& path, int, int channels, int sampleRate, std::string* error) {
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
    if (!file_->writer.Start(stream, channels, sampleRate)) {
        *error = "cannot write " + shown();
        Discard();
        return false;
    }
    return true;
}

bool AudioOutput::Write(std::int64_t frame, const std::int16_t* samples, std::int64_t count, std::string* error) {
    if (file_ == nullptr || !file_->writer.Write(frame, samples, count)) {
        *error = "cannot write " + shown() + " (is the disk full?)";
        return false;
    }
    position_ = frame + count;
    return true;
}

bool AudioOutput::Close(std::string* error) {
    if (file_ == nullptr) return true;
    const bool finished = file_->writer.Finish();
    const bool closed = std::fclose(file_->stream) == 0;
    delete file_;
    file_ = nullptr;
    if (!finished || !closed) {
        *error = "cannot write " + shown() + (finished ? "" : ": too long for a WAV file, or the disk is full");
        return false;
    }
    return true;
}

bool AudioOutput::Commit(std::string* error) {
    if (!Close(error)) return false;
    std::string reason;
    if (!os::MoveIntoPlace(temporary_, path_, &reason)) {
        *error = "cannot write " + shown() + ": " + reason;
        return false;
    }
    temporary_.clear();
    return true;
}

void AudioOutput::Discard() {
    if (file_ != nullptr) {
        std::fclose(file_->stream);
        delete file_;
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        os::RemoveFile(temporary_);
        temporary_.clear();
    }
}

// 16-bit PCM WAV holds any number of channels; 1 stands for it.
int OutputFormatFor(const std::string& path, int channels) {
    const std::string extension = FileExtension(path);
    return channels > 0 && (extension == "wav" || extension == "wave") ? 1 : 0;
}

std::string OutputExtensions() { return "wav"; }

std::string OutputFormatAdvice(const std::string& extension) {
    return "this build writes .wav only; write a .wav and convert it" +
           (extension.empty() ? std::string() : " to ." + extension) +
           " afterwards, or use the Linux tovana, which writes every format libsndfile has, mp3, ogg and opus "
           "among them";
}

std::string LossyCodec(int) { return ""; }

int WrittenRate(int, int sampleRate) { return sampleRate; }

}  // namespace tovana
