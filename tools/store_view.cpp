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

}  // namespace tovana
