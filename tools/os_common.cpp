// The parts of tools/os.h that are the same on every system.
#include <cctype>

#include "tools/os.h"

namespace tovana::os {
namespace {

constexpr const char kTemporaryMark[] = ".tovana-";
constexpr std::size_t kUniqueLength = 6;  // mkstemp's XXXXXX

}  // namespace

std::string TemporaryPrefix(const std::string& path, std::int64_t process) {
    const std::size_t slash = LastSeparator(path);
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + base + kTemporaryMark + std::to_string(process) + "-";
}

std::int64_t TemporaryWriter(const std::string& name) {
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (name.empty() || name[0] != '.' || mark == std::string::npos || mark == 0) return -1;
    const std::string rest = name.substr(mark + sizeof kTemporaryMark - 1);
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || dash > 10 || rest.size() != dash + 1 + kUniqueLength) return -1;
    std::int64_t process = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(rest[i]))) return -1;
        process = process * 10 + (rest[i] - '0');
    }
    for (std::size_t i = dash + 1; i < rest.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(rest[i]))) return -1;
    }
    return process > 0 ? process : -1;
}

}  // namespace tovana::os
