// "-" as the INPUT or OUTPUT of tovana apply. Standard input is copied to a
// temporary file before the run: the run reads its input more than once
// (the frames outside a selection, the spectrogram), and a stream's length
// is known only at its end. The output is written to a temporary file and
// copied to standard output once it is complete, so a failed or cancelled
// run sends nothing down the pipe and the reader gets a file whose header
// holds the true length.
#pragma once

#include <string>

namespace tovana {

inline bool IsStandardStream(const std::string& path) { return path == "-"; }

class StandardStreams {
public:
    StandardStreams() = default;
    ~StandardStreams();  // removes the temporary files
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

    // Copies standard input to a temporary file, whose name goes to `path`.
    // False with a message when it cannot, or when Ctrl-C came first.
    bool SpoolInput(std::string* path, std::string* error);
    // Where the output is written before it is sent, with `extension`.
    bool OutputPath(const std::string& extension, std::string* path, std::string* error);
    // Copies the finished output to standard output.
    bool SendOutput(std::string* error);

private:
    bool Directory(std::string* error);

    std::string directory_;
    std::string input_;
    std::string output_;
};

}  // namespace tovana
