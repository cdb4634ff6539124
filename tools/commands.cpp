#include "tools/commands.h"

#include <cstdio>

namespace tovana {

int Complain(int status, const std::string& message) {
    std::fprintf(stderr, "tovana: %s\n", message.c_str());
    return status;
}

bool WantsHelp(const Args& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

}  // namespace tovana
