#include "tools/store_view.h"

#include <cctype>
#include <cstdio>

#include "tools/commands.h"
#include "tools/os.h"

namespace tovana {

void ReportStoreProblems() {
    for (std::string problem = os::TakeStoreProblem(); !problem.empty(); problem = os::TakeStoreProblem()) {
        std::fprintf(stderr, "tovana: %s\n", Printable(problem).c_str());
    }
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int EffectByName(const std::string& text) {
    for (int e = 0; e < kEffectCount; ++e) {
        if (Lower(TableOf(e).name) == Lower(text)) return e;
    }
    return -1;
}

std::string EffectChoices() {
    std::string choices;
    for (int e = 0; e < kEffectCount; ++e) {
        if (!choices.empty()) choices += ", ";
        choices += Lower(TableOf(e).name);
    }
    return choices;
}

std::string WithEffectNames(const char* help) {
    std::string names;
    for (int e = 0; e < kEffectCount; ++e) {
        if (e != 0) names += e + 1 == kEffectCount ? " or " : ", ";
        names += Lower(TableOf(e).name);
    }
    std::string text = help;
    const std::string marker = "{effects}";
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
        text.replace(at, marker.size(), names);
        at += names.size();
    }
    return text;
}

}  // namespace tovana
