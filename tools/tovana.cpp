// tovana: applies Zentrix Tovana's effects to audio files by loading the
// plug-in exactly as the editor does.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/plugin_loader.h"

namespace {

int Info(const std::string& pluginPath) {
    PluginLoader plugin;
    if (!plugin.Load(pluginPath)) {
        std::fprintf(stderr, "tovana: %s\n", plugin.error().c_str());
        return 2;
    }
    PluginInfoRecord info{};
    const unsigned result = plugin.query(&info);
    auto text = [&](std::size_t offset) { return reinterpret_cast<const char*>(info.bytes + offset); };
    std::printf("plug-in:    %s\n", pluginPath.c_str());
    std::printf("name:       %s\n", text(info_offsets::kName));
    std::printf("copyright:  %s\n", text(info_offsets::kCopyright));
    std::printf("command:    %s\n", text(info_offsets::kCommandText));
    std::printf("result:     0x%04X\n", result);
    return 0;
}

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: tovana [--plugin PATH] info\n"
                 "  info   load the plug-in and show what it reports to the editor\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string pluginPath = DefaultPluginPath();
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
            pluginPath = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            Usage(stdout);
            return 0;
        } else {
            Usage(stderr);
            return 1;
        }
    }
    if (i < argc && std::strcmp(argv[i], "info") == 0) return Info(pluginPath);
    Usage(stderr);
    return 1;
}
