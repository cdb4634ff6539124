// tovana: applies Zentrix Tovana's effects to audio files by loading the
// plug-in exactly as the editor does.
#include <cstdio>
#include <cstring>
#include <string>

#include "settings/store_repair.h"
#include "tools/commands.h"
#include "tools/plugin_loader.h"
#include "tools/store_view.h"

#ifndef TOVANA_VERSION
#define TOVANA_VERSION "0.0.0"
#endif

namespace {

struct Command {
    const char* name;
    int (*run)(const tovana::Context&, const tovana::Args&);
    const char* summary;
};

const Command kCommands[] = {
    {"apply", tovana::ApplyCommand, "apply an effect to audio files, or to a pipe (tovana apply --help)"},
    {"presets", tovana::PresetsCommand, "list, export and import presets"},
    {"settings", tovana::SettingsCommand, "show the stored settings"},
    {"info", tovana::InfoCommand, "show what the plug-in reports to the editor"},
    {"demo", tovana::DemoCommand, "run the bundled voice sample through every built-in preset"},
    {"setup", tovana::SetupCommand, "open the plug-in's dialog in a window (needs a display)"},
    {"mic", tovana::MicCommand, "an effect live on a microphone, as a virtual one (PipeWire)"},
};

void PrintUsage(std::FILE* stream) {
    std::fputs("usage: tovana [--plugin PATH] COMMAND [ARGS]\n\nCommands:\n", stream);
    for (const Command& command : kCommands) std::fprintf(stream, "  %-9s %s\n", command.name, command.summary);
    std::fputs(
        "\n"
        "Options:\n"
        "  --plugin PATH  load this ZentrixTvn.xfm instead of the one beside tovana\n"
        "  --help         this text; tovana COMMAND --help for a command\n"
        "  --version      the version\n"
        "\n"
        "Settings and presets live in the plug-in's store: on Linux a registry export\n"
        "file ($XDG_CONFIG_HOME/zentrix-tovana/registry.reg; TOVANA_REGISTRY names\n"
        "another), on Windows the registry (HKEY_CURRENT_USER\\Software\\Kestrum\\\n"
        "Zentrix CoolEdit Plugin Tovana), which the editor's plug-in shares.\n"
        "\n"
        "Exit status: 0 done, 1 command-line problem, 2 error while processing,\n"
        "130 cancelled.\n",
        stream);
}

int Run(const std::string& command, const tovana::Context& context, const tovana::Args& args) {
    for (const Command& entry : kCommands) {
        if (command == entry.name) return entry.run(context, args);
    }
    return tovana::Complain(1, "unknown command '" + command + "' (see tovana --help)");
}

}  // namespace

int main(int argc, char** argv) {
    tovana::Context context;
    context.pluginPath = DefaultPluginPath();
    context.self = SelfPath();
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
            context.pluginPath = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tovana %s\n", TOVANA_VERSION);
            return 0;
        } else if (std::strcmp(argv[i], "--complete") == 0) {
            std::vector<std::string> names = {"help"};
            for (const Command& command : kCommands) names.insert(names.end() - 1, command.name);
            return tovana::CompleteCommand(tovana::Args(argv + i + 1, argv + argc), names);
        } else {
            PrintUsage(stderr);
            return 1;
        }
    }
    if (i >= argc) {
        PrintUsage(stderr);
        return 1;
    }
    const std::string command = argv[i];
    const tovana::Args args(argv + i + 1, argv + argc);
    if (command == "help") {
        PrintUsage(stdout);
        return 0;
    }
    // tovana reads the store itself, often before the plug-in does: a
    // damaged file is mended by the plug-in's own rules either way.
    store::InstallRepairRules();
    const int status = Run(command, context, args);
    // Whatever the store found while the command ran is never kept quiet.
    tovana::ReportStoreProblems();
    return status;
}
