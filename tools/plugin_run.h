// The editor's side of one use of the plug-in: XfmInit, XfmSetup driven
// through the dialog, XfmDo over the selection with the audio streamed
// through the callbacks, XfmDestroy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/audio_io.h"
#include "tools/plugin_loader.h"
#include "tools/setup_plan.h"

namespace tovana {

// Exit statuses, as SoX counts them.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailed = 2;
constexpr int kExitCancelled = 130;

// The flag XfmDo watches; Ctrl-C (and SIGTERM, SIGHUP) raises it.
std::int32_t* CancelFlag();
void InstallInterruptHandler();
bool Interrupted();

// Frames of a selection the record can address: byte positions and counts
// are 32-bit and frame numbers signed 32-bit. The selection's bytes are
// presented to the plug-in from position 0.
bool SelectionFits(std::int64_t frames, int channels);

struct RunRequest {
    std::vector<SetupStep> steps;   // the dialog session
    AudioInput* input = nullptr;    // null: setup only
    AudioOutput* output = nullptr;
    std::int64_t first = 0;         // selection within the input
    std::int64_t count = 0;
    std::optional<std::uint32_t> seed;
    bool progress = false;          // a bar on standard error
    bool copyOutside = true;        // frames outside the selection go to the output unchanged
};

struct RunOutcome {
    int status = kExitOk;
    std::string error;               // printed by the caller
    bool unstored = false;           // the store could not take what the dialog stored
    double processSeconds = 0.0;     // XfmDo alone
};

RunOutcome RunPlugin(PluginLoader& plugin, const RunRequest& request);

}  // namespace tovana
