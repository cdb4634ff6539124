// The options of `tovana apply`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/setup_plan.h"

namespace tovana {

struct ApplyOptions {
    EffectOptions effect;
    std::optional<std::uint32_t> seed;
    std::optional<std::int64_t> selectionFirst;
    std::optional<std::int64_t> selectionLast;
    bool quiet = false;
    bool noProgress = false;
    bool help = false;
    std::string outDir;  // batch form when set
    int jobs = 0;        // 0: one per core
    std::string spectrogram;
    std::string type;                // output format by extension, lower case without the dot
    std::optional<double> quality;   // 0 (smallest) to 10 (best sound), lossy outputs
    std::vector<std::string> inputs;
    std::string output;  // single form; "-" is standard output, as "-" in inputs is standard input
};

// libsndfile's compression level for a --quality.
double CompressionLevel(double quality);

// False with a message for the first problem found.
bool ParseApplyOptions(const std::vector<std::string>& args, ApplyOptions* options, std::string* error);

// The arguments that repeat `options` for one file of a batch, apart from
// the effect options, which the batch sets once beforehand.
std::vector<std::string> BatchChildArgs(const ApplyOptions& options, const std::string& input,
                                        const std::string& output);

extern const char kApplyHelp[];

// The pieces every command that sets up the effect parses alike.
// "--name=VALUE" becomes "--name" and VALUE; false when `arg` has no inline value.
bool SplitInlineValue(std::string* arg, std::string* value);
// --effect, --preset, --set, --wet, --dry.
bool IsEffectOption(const std::string& arg);
// Records one of them with its value; false with a message for a malformed --set.
bool TakeEffectOption(const std::string& arg, const std::string& text, EffectOptions* effect, std::string* error);

}  // namespace tovana
