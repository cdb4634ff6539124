// tovana setup: the plug-in's dialog in a real window, as the editor shows
// it.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/event_source.h"
#include "platform/memory.h"
#include "platform/registry.h"
#include "tools/commands.h"
#include "tools/os.h"
#include "tools/plugin_loader.h"
#include "tools/plugin_run.h"
#include "tools/setup_window.h"
#include "tools/store_view.h"
namespace tovana {
namespace {

const char kSetupHelp[] =
    "usage: tovana setup\n"
    "\n"
    "Opens the plug-in's dialog in a window: the four effect pages, the\n"
    "preset list with Save Preset and Delete Preset, and the mix. OK and\n"
    "Cancel both store the settings; OK also makes the page shown the effect\n"
    "that `tovana apply` uses. On Linux it needs an X display (DISPLAY).\n"
    "\n"
    "Exit status: 0 closed with OK or Cancel, 2 no display or no plug-in.\n";

std::uint32_t XFM_STDCALL RequestHandle(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                        std::uint32_t) {
    return 0x7A01;
}

std::int32_t XFM_STDCALL ReleaseHandle(std::uint32_t) { return 1; }

}  // namespace

int SetupCommand(const Context& context, const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kSetupHelp, stdout);
        return kExitOk;
    }
    if (!args.empty()) return Complain(kExitUsage, "setup takes no arguments (see tovana setup --help)");

    if (const std::string unreadable = os::StoreReadProblem(); !unreadable.empty()) {
        return Complain(kExitFailed, unreadable);
    }
    std::string error;
    SetupWindow window;
    if (!OpenSetupWindow(context, &window, &error)) return Complain(kExitFailed, error);

    PluginLoader plugin;
    if (!plugin.Load(context.pluginPath)) {
        CloseSetupWindow(&window);
        return Complain(kExitFailed, plugin.error());
    }
    PluginInfoRecord info{};
    plugin.query(&info);
    TransformRecord record{};
    record.channels = 2;
    record.bitsPerSample = 16;
    record.bytesPerFrame = 4;
    record.sampleRate = 44100;
    record.requestHandle = RequestHandle;
    record.releaseHandle = ReleaseHandle;
    platform::TakeRegistryWriteProblem();  // only this session's writes count
    platform::MemHandle memory = platform::GlobalAlloc(platform::kGmemMoveable | platform::kGmemZeroInit, 16);
    record.instanceMemory = memory;
    if (memory == nullptr || plugin.init(&record) != 1) {
        if (memory != nullptr) platform::GlobalFree(memory);
        CloseSetupWindow(&window);
        return Complain(kExitFailed, "the plug-in could not set up its instance (XfmInit failed)");
    }
    if (window.source != nullptr) platform::SetEventSource(window.source);
    const std::int32_t confirmed = plugin.setup(0, 0, 0);
    if (window.source != nullptr) platform::SetEventSource(nullptr);
    plugin.destroy(&record);
    platform::GlobalFree(memory);
    CloseSetupWindow(&window);

    if (const std::string unstored = platform::TakeRegistryWriteProblem(); !unstored.empty()) {
        return Complain(kExitFailed, unstored + "; the settings of this session were not stored");
    }
    if (confirmed == 1) {
        // OK stores the page it was pressed on as the effect used last.
        const EffectTable* effect = FindEffect(ReadStoredState().lastActiveEffect);
        const char* name = effect != nullptr ? effect->name : "?";
        std::printf("OK: settings stored; tovana apply uses the %s\n", name);
    } else {
        std::printf("Cancelled: settings stored; the effect tovana apply uses is unchanged\n");
    }
    return kExitOk;
}

}  // namespace tovana
