#include "tools/plugin_run.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/memory.h"
#include "platform/registry.h"
#include "tools/commands.h"
#include "tools/dialog_driver.h"
#include "tools/os.h"

namespace tovana {
namespace {

volatile std::int32_t g_cancel = 0;
volatile std::int32_t g_interrupted = 0;

void OnInterrupt() {
    g_cancel = 1;
    g_interrupted = 1;
}

// The callbacks carry no context: one use at a time runs in a process.
struct ActiveRun {
    const RunRequest* request = nullptr;
    int bytesPerFrame = 2;
    std::string error;
    std::string status;
    bool progress = false;
    int drawnPercent = -1;
    std::uint32_t handle = 0;
    int handlesOut = 0;
};
ActiveRun* g_run = nullptr;

void Fail(const std::string& why) {
    if (g_run->error.empty()) g_run->error = why;
    g_cancel = 1;
}

std::int32_t XFM_STDCALL ReadBlock(void* buffer, std::uint32_t position, std::uint32_t count) {
    const std::int64_t frame = g_run->request->first + position / static_cast<std::uint32_t>(g_run->bytesPerFrame);
    std::string error;
    if (!g_run->request->input->Read(frame, static_cast<std::int16_t*>(buffer), count / g_run->bytesPerFrame,
                                     &error)) {
        std::memset(buffer, 0, count);
        Fail(error);
        return 0;
    }
    return 1;
}

std::int32_t XFM_STDCALL WriteBlock(void* buffer, std::uint32_t position, std::uint32_t count) {
    const std::int64_t frame = g_run->request->first + position / static_cast<std::uint32_t>(g_run->bytesPerFrame);
    std::string error;
    if (!g_run->request->output->Write(frame, static_cast<const std::int16_t*>(buffer),
                                       count / g_run->bytesPerFrame, &error)) {
        Fail(error);
        return 0;
    }
    return 1;
}

void DrawBar(int percent) {
    constexpr int kWidth = 30;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < percent * kWidth / 100 ? '#' : '-';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%%", g_run->status.c_str(), bar, percent);
    std::fflush(stderr);
}

std::int32_t XFM_STDCALL ReportProgress(std::uint32_t done, std::uint32_t total) {
    if (!g_run->progress || total == 0) return 1;
    const int percent = static_cast<int>(static_cast<std::uint64_t>(done) * 100 / total);
    if (percent != g_run->drawnPercent) {
        g_run->drawnPercent = percent;
        DrawBar(percent);
    }
    return 1;
}

std::int32_t XFM_STDCALL ShowStatus(const char* text, std::int32_t) {
    g_run->status = text != nullptr ? text : "";
    if (g_run->progress) DrawBar(0);
    return 1;
}

void XFM_CDECL EndProcessing(TransformRecord*) {
    if (g_run->progress && g_run->drawnPercent >= 0) std::fputc('\n', stderr);
    g_run->drawnPercent = -1;
}

std::uint32_t XFM_STDCALL RequestHandle(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                        std::uint32_t) {
    ++g_run->handlesOut;
    g_run->handle = 0x7A01;
    return g_run->handle;
}

std::int32_t XFM_STDCALL ReleaseHandle(std::uint32_t handle) {
    if (handle == g_run->handle) --g_run->handlesOut;
    return 1;
}

// Holds the instance memory and makes sure XfmDestroy follows XfmInit.
class Instance {
public:
    Instance(PluginLoader& plugin, TransformRecord& record) : plugin_(plugin), record_(record) {
        memory_ = platform::GlobalAlloc(platform::kGmemMoveable | platform::kGmemZeroInit, 16);
        record_.instanceMemory = memory_;
        initialised_ = memory_ != nullptr && plugin_.init(&record_) == 1;
    }
    ~Instance() {
        if (initialised_) plugin_.destroy(&record_);
        if (memory_ != nullptr) platform::GlobalFree(memory_);
    }
    bool ok() const { return initialised_; }

private:
    PluginLoader& plugin_;
    TransformRecord& record_;
    platform::MemHandle memory_ = nullptr;
    bool initialised_ = false;
};

}  // namespace

std::int32_t* CancelFlag() { return const_cast<std::int32_t*>(&g_cancel); }

void InstallInterruptHandler() { os::InstallInterruptHandler(OnInterrupt); }

bool Interrupted() { return g_interrupted != 0; }

bool SelectionFits(std::int64_t frames, int channels) {
    const std::int64_t bytes = frames * 2 * channels;
    return frames >= 0 && frames - 1 <= INT32_MAX && bytes <= static_cast<std::int64_t>(UINT32_MAX);
}

RunOutcome RunPlugin(PluginLoader& plugin, const RunRequest& request) {
    RunOutcome outcome;
    ActiveRun run;
    run.request = &request;
    run.progress = request.progress;
    g_run = &run;

    TransformRecord record{};
    const int channels = request.input != nullptr ? request.input->channels() : 1;
    record.channels = static_cast<std::uint16_t>(channels);
    record.bitsPerSample = 16;
    record.bytesPerFrame = static_cast<std::uint16_t>(2 * channels);
    run.bytesPerFrame = record.bytesPerFrame;
    record.sampleRate = request.input != nullptr ? request.input->sampleRate() : 44100;
    record.firstFrame = 0;
    record.lastFrame = static_cast<std::int32_t>(request.count - 1);
    record.readBlock = ReadBlock;
    record.writeBlock = WriteBlock;
    record.cancelFlag = CancelFlag();
    record.reportProgress = ReportProgress;
    record.showStatus = ShowStatus;
    record.endProcessing = EndProcessing;
    record.requestHandle = RequestHandle;
    record.releaseHandle = ReleaseHandle;

    PluginInfoRecord info{};
    plugin.query(&info);
    {
        Instance instance(plugin, record);
        if (!instance.ok()) {
            outcome.status = kExitFailed;
            outcome.error = "the plug-in could not set up its instance (XfmInit failed)";
            g_run = nullptr;
            return outcome;
        }
        DialogDriver driver(request.steps);
        int confirmed = 0;
        long stored = platform::kErrorSuccess;
        platform::TakeRegistryWriteProblem();  // only this dialog's writes count
        {
            // Everything one scripted session stores (a first run's tree, a
            // reset, the settings at closing) reaches the store in one step,
            // so that a killed or concurrent run never leaves a mix.
            platform::RegistryBatch batch;
            ScopedEventSource source(&driver);
            confirmed = plugin.setup(0, 0, 0);
            stored = batch.Commit();
        }
        // The plug-in ignores a failed write; what it could not store would
        // be lost, and a batch's files would run with the old settings.
        std::string unstored = platform::TakeRegistryWriteProblem();
        if (unstored.empty() && stored != platform::kErrorSuccess) {
            unstored = "the settings could not be stored: " + SystemReason(stored);
        }
        if (!unstored.empty()) {
            outcome.status = kExitFailed;
            outcome.unstored = true;
            outcome.error = unstored + (request.input != nullptr ? "; nothing was processed" : "");
        } else if (!driver.error().empty() || confirmed != 1) {
            outcome.status = kExitFailed;
            outcome.error = driver.error().empty() ? "the plug-in's dialog was not confirmed; nothing was processed"
                                                   : driver.error() + "; nothing was processed";
        } else if (Interrupted()) {
            outcome.status = kExitCancelled;
        } else if (request.input != nullptr) {
            std::string error;
            if (request.copyOutside && !CopyFrames(*request.input, *request.output, 0, request.first, &error)) {
                outcome.status = kExitFailed;
                outcome.error = error;
            } else {
                if (request.seed) os::FixPluginSeed(*request.seed);
                const auto start = std::chrono::steady_clock::now();
                const std::int32_t result = plugin.process(&record);
                outcome.processSeconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                if (!run.error.empty()) {
                    outcome.status = kExitFailed;
                    outcome.error = run.error;
                } else if (result != 0) {
                    outcome.status = kExitFailed;
                    outcome.error = "the plug-in could not obtain its working memory; nothing was processed";
                } else if (g_cancel != 0) {
                    outcome.status = kExitCancelled;
                } else if (request.copyOutside) {
                    const std::int64_t after = request.first + request.count;
                    if (!CopyFrames(*request.input, *request.output, after, request.input->frames() - after,
                                    &error)) {
                        outcome.status = kExitFailed;
                        outcome.error = error;
                    }
                }
            }
        }
    }
    if (outcome.status == kExitOk && run.handlesOut != 0) {
        outcome.status = kExitFailed;
        outcome.error = "the plug-in did not give its handle back";
    }
    g_run = nullptr;
    return outcome;
}

}  // namespace tovana
