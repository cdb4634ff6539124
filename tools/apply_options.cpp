#include "tools/apply_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/store_view.h"

namespace tovana {
namespace {

bool ParseCount(const std::string& text, std::int64_t maximum, std::int64_t* value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed > maximum) return false;
    *value = parsed;
    return true;
}

bool ParseQuality(const std::string& text, double* value) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return *end == '\0' && *value >= 0.0 && *value <= 10.0;
}

}  // namespace

double CompressionLevel(double quality) { return 1.0 - quality / 10.0; }

bool SplitInlineValue(std::string* arg, std::string* value) {
    // "--set=NAME=VALUE": the setting's own '=' stays in the value.
    const std::size_t equals = arg->find('=');
    if (arg->rfind("--", 0) != 0 || equals == std::string::npos) return false;
    *value = arg->substr(equals + 1);
    arg->erase(equals);
    return true;
}

bool IsEffectOption(const std::string& arg) {
    return arg == "--effect" || arg == "--preset" || arg == "--set" || arg == "--wet" || arg == "--dry";
}

bool TakeEffectOption(const std::string& arg, const std::string& text, EffectOptions* effect, std::string* error) {
    if (arg == "--effect") {
        effect->effect = text;
    } else if (arg == "--preset") {
        effect->preset = text;
    } else if (arg == "--set") {
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0) {
            *error = "--set takes 'NAME=VALUE' (got '" + text + "')";
            return false;
        }
        effect->sets.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    } else if (arg == "--wet") {
        effect->wet = text;
    } else {
        effect->dry = text;
    }
    return true;
}

const char kApplyHelp[] =
    "usage: tovana apply [OPTIONS] INPUT OUTPUT\n"
    "       tovana apply [OPTIONS] -o OUTDIR INPUT...\n"
    "       sox in.mp3 -t wav - | tovana apply [OPTIONS] - out.opus\n"
    "\n"
    "Runs the plug-in on audio files as the editor does: its dialog is set up\n"
    "with the options below exactly as a user would (effect tab, preset,\n"
    "sliders, check boxes, mix, OK), so the run uses and stores what the\n"
    "dialog shows. Without effect options the stored settings and the effect\n"
    "used last are applied again.\n"
    "\n"
    "Effect options:\n"
    "  --effect NAME        {effects}\n"
    "  --preset NAME        a built-in or user preset of that effect\n"
    "  --set 'NAME=VALUE'   a setting by its stored name, e.g. 'Carrier Freq=440';\n"
    "                       check boxes take 0 or 1 (repeatable)\n"
    "  --wet N, --dry N     mix in percent; giving both clears \"Linked\" first\n"
    "\n"
    "Run options:\n"
    "  --seed N             seed every run with N (same command, same bytes);\n"
    "                       without it the clock seeds the run\n"
    "  --selection A:B      process frames A to B (inclusive); the rest is copied\n"
    "  -q, --quiet          no progress bar and no notices\n"
    "  --no-progress        no progress bar\n"
    "  -o, --outdir DIR     batch: write each INPUT to DIR under its own name\n"
    "  -j, --jobs N         batch: files processed at once (default: cores)\n"
    "  --spectrogram PNG    one file: a before/after spectrogram picture, with\n"
    "                       time in seconds, frequency in kHz and a dBFS scale\n"
    "\n"
    "Output options:\n"
    "  -t, --type EXT       write OUTPUT in the format of extension EXT whatever\n"
    "                       its name (wav, flac, mp3, opus, ...); with -, the\n"
    "                       format of standard output (default wav); in a batch,\n"
    "                       the extension of every output\n"
    "  --quality Q          lossy outputs (mp3, ogg, opus): 0 smallest file to\n"
    "                       10 best sound (libsndfile's compression level 1 to 0);\n"
    "                       without it the codec's default\n"
    "\n"
    "Audio: any file libsndfile reads (on Windows: WAV, 8 to 32-bit PCM or\n"
    "float), mono or stereo; other sample formats are converted to 16-bit,\n"
    "floats scaled by 32768. OUTPUT is 16-bit PCM in the format of its\n"
    "extension (on Windows: .wav), written beside it and renamed at the end\n"
    "(OUTPUT may be INPUT). .mp3, .ogg and .opus are lossy, with a notice;\n"
    "Opus takes 8, 12, 16, 24 or 48 kHz, so other rates are resampled for\n"
    "it (with a notice); nothing else changes the rate.\n"
    "\n"
    "INPUT - reads standard input (any format libsndfile reads; it is kept\n"
    "in a temporary file while the run needs it) and OUTPUT - writes standard\n"
    "output once the run is complete (neither may be a terminal); messages\n"
    "and the progress bar go to standard error. A batch takes files only.\n"
    "\n"
    "Exit status: 0 done, 1 command-line problem, 2 error while processing\n"
    "(also unreadable input or unwritable output), 130 cancelled (Ctrl-C).\n";

bool ParseApplyOptions(const std::vector<std::string>& args, ApplyOptions* options, std::string* error) {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg == "--") {
            if (optionsEnded) positional.push_back(arg);
            optionsEnded = true;
            continue;
        }
        std::string value;
        const bool inlineValue = SplitInlineValue(&arg, &value);
        auto take = [&](std::string* into) {
            if (inlineValue) {
                *into = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                *error = "option " + arg + " needs a value";
                return false;
            }
            *into = args[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else if (arg == "-q" || arg == "--quiet") {
            options->quiet = true;
        } else if (arg == "--no-progress") {
            options->noProgress = true;
        } else if (IsEffectOption(arg)) {
            if (!take(&text) || !TakeEffectOption(arg, text, &options->effect, error)) return false;
        } else if (arg == "--seed") {
            std::int64_t seed = 0;
            if (!take(&text)) return false;
            if (!ParseCount(text, UINT32_MAX, &seed)) {
                *error = "--seed takes a whole number from 0 to 4294967295 (got '" + text + "')";
                return false;
            }
            options->seed = static_cast<std::uint32_t>(seed);
        } else if (arg == "--selection") {
            if (!take(&text)) return false;
            const std::size_t colon = text.find(':');
            std::int64_t first = 0;
            std::int64_t last = 0;
            if (colon == std::string::npos || !ParseCount(text.substr(0, colon), INT64_MAX / 8, &first) ||
                !ParseCount(text.substr(colon + 1), INT64_MAX / 8, &last) || last < first) {
                *error = "--selection takes FIRST:LAST, frame numbers with FIRST <= LAST (got '" + text + "')";
                return false;
            }
            options->selectionFirst = first;
            options->selectionLast = last;
        } else if (arg == "-o" || arg == "--outdir") {
            if (!take(&options->outDir)) return false;
            if (options->outDir.empty()) {
                *error = "-o needs a directory";
                return false;
            }
        } else if (arg == "-j" || arg == "--jobs") {
            std::int64_t jobs = 0;
            if (!take(&text)) return false;
            if (!ParseCount(text, 1024, &jobs) || jobs < 1) {
                *error = "-j takes a number of files from 1 to 1024 (got '" + text + "')";
                return false;
            }
            options->jobs = static_cast<int>(jobs);
        } else if (arg == "--spectrogram") {
            if (!take(&options->spectrogram)) return false;
        } else if (arg == "-t" || arg == "--type") {
            if (!take(&text)) return false;
            options->type = Lower(text.rfind('.', 0) == 0 ? text.substr(1) : text);
            if (options->type.empty() || options->type.find_first_of("./\\") != std::string::npos) {
                *error = "--type takes a file extension such as wav, flac or opus (got '" + text + "')";
                return false;
            }
        } else if (arg == "--quality") {
            double quality = 0.0;
            if (!take(&text)) return false;
            if (!ParseQuality(text, &quality)) {
                *error = "--quality takes a number from 0 (smallest file) to 10 (best sound) (got '" + text + "')";
                return false;
            }
            options->quality = quality;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option " + arg + " (see tovana apply --help)";
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (options->help) return true;
    if (!options->outDir.empty()) {
        if (positional.empty()) {
            *error = "no INPUT given (tovana apply [OPTIONS] -o OUTDIR INPUT...)";
            return false;
        }
        if (!options->spectrogram.empty()) {
            *error = "--spectrogram needs the one-file form (tovana apply [OPTIONS] INPUT OUTPUT)";
            return false;
        }
        for (const std::string& input : positional) {
            if (input == "-") {
                *error = "a batch takes files; standard input (-) needs the one-file form "
                         "(tovana apply [OPTIONS] - OUTPUT)";
                return false;
            }
        }
        if (options->outDir == "-") {
            *error = "-o takes a folder; standard output (-) needs the one-file form "
                     "(tovana apply [OPTIONS] INPUT -)";
            return false;
        }
        options->inputs = positional;
        return true;
    }
    if (positional.size() != 2) {
        *error = "apply takes INPUT OUTPUT, or -o OUTDIR INPUT... (see tovana apply --help)";
        return false;
    }
    if (options->jobs != 0) {
        *error = "-j is for a batch (-o OUTDIR INPUT...)";
        return false;
    }
    options->inputs = {positional[0]};
    options->output = positional[1];
    return true;
}

std::vector<std::string> BatchChildArgs(const ApplyOptions& options, const std::string& input,
                                        const std::string& output) {
    // The files of a batch draw no bars of their own; notices stay.
    std::vector<std::string> args = {"apply", options.quiet ? "-q" : "--no-progress"};
    if (options.seed) {
        args.push_back("--seed");
        args.push_back(std::to_string(*options.seed));
    }
    if (options.selectionFirst) {
        args.push_back("--selection");
        args.push_back(std::to_string(*options.selectionFirst) + ":" + std::to_string(*options.selectionLast));
    }
    if (options.quality) {
        char quality[32];
        std::snprintf(quality, sizeof quality, "%.17g", *options.quality);
        args.push_back("--quality");
        args.push_back(quality);
    }
    // The output's name carries the format (a --type is part of it). The
    // "--" keeps a file or folder named like an option a file name.
    args.push_back("--");
    args.push_back(input);
    args.push_back(output);
    return args;
}

}  // namespace tovana
