#include "tools/std_streams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/os.h"
#include "tools/plugin_run.h"

namespace tovana {
namespace {

constexpr std::size_t kChunk = 1 << 16;

// Copies `from` to `to` to the end; a read cut short by a signal is
// resumed unless it was Ctrl-C.
bool Copy(std::FILE* from, std::FILE* to, std::string* reason) {
    std::vector<char> buffer(kChunk);
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), from);
        if (got > 0 && std::fwrite(buffer.data(), 1, got, to) != got) {
            *reason = std::strerror(errno);
            return false;
        }
        if (Interrupted()) {
            *reason = "cancelled";
            return false;
        }
        if (got == buffer.size()) continue;
        if (std::feof(from)) break;
        if (std::ferror(from) && errno != EINTR) {
            *reason = std::strerror(errno);
            return false;
        }
        std::clearerr(from);
    }
    if (std::fflush(to) != 0) {
        *reason = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

StandardStreams::~StandardStreams() {
    if (!input_.empty()) os::RemoveFile(input_);
    if (!output_.empty()) os::RemoveFile(output_);
    if (!directory_.empty()) os::RemoveEmptyDirectory(directory_);
}

bool StandardStreams::Directory(std::string* error) {
    if (directory_.empty()) directory_ = os::MakeTemporaryDirectory();
    if (directory_.empty()) *error = "cannot create a temporary folder for the audio of a pipe";
    return !directory_.empty();
}

bool StandardStreams::SpoolInput(std::string* path, std::string* error) {
    if (!Directory(error)) return false;
    std::string reason;
    std::FILE* file = os::CreateTemporaryBeside(os::Join(directory_, "input"), &input_, &reason);
    if (file == nullptr) {
        *error = "cannot keep standard input in a temporary file: " + reason;
        return false;
    }
    os::UseForAudio(stdin);
    const bool copied = Copy(stdin, file, &reason);
    const bool empty = copied && os::Length(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!copied || !closed) {
        *error = "cannot read standard input into a temporary file: " + (copied ? std::string("write error") : reason);
        return false;
    }
    if (empty) {
        *error = "standard input held no audio (it ended before any data came)";
        return false;
    }
    *path = input_;
    return true;
}

bool StandardStreams::OutputPath(const std::string& extension, std::string* path, std::string* error) {
    if (!Directory(error)) return false;
    output_ = os::Join(directory_, "output." + extension);
    *path = output_;
    return true;
}

bool StandardStreams::SendOutput(std::string* error) {
    std::FILE* file = std::fopen(output_.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot write standard output: " + std::string(std::strerror(errno));
        return false;
    }
    os::UseForAudio(stdout);
    std::string reason;
    const bool copied = Copy(file, stdout, &reason);
    std::fclose(file);
    if (!copied) *error = "cannot write standard output: " + reason;
    return copied;
}

}  // namespace tovana
