#include "tools/commands.h"

#include <cstdio>

#include "platform/registry.h"

namespace tovana {

int Complain(int status, const std::string& message) {
    std::fprintf(stderr, "tovana: %s\n", Printable(message).c_str());
    return status;
}

std::string Printable(const std::string& text) {
    std::string shown;
    char code[8];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(code, sizeof code, "\\x%02x", c);
            shown += code;
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            // U+0080 to U+009F in UTF-8: terminals take some as controls.
            std::snprintf(code, sizeof code, "\\u%04x", next);
            shown += code;
            ++i;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

bool WantsHelp(const Args& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

std::string SystemReason(long code) {
    std::string text = platform::SystemMessageText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

}  // namespace tovana
