#include "platform/registry_faults.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <vector>

namespace platform {
namespace {

struct Fault {
    RegOperation operation;
    std::string target;
    long error;
    bool always;
};

std::mutex g_mutex;
std::vector<Fault> g_faults;
std::atomic<bool> g_flush{true};

bool IsValueOperation(RegOperation operation) {
    return operation == RegOperation::kQuerySize || operation == RegOperation::kRead ||
           operation == RegOperation::kWrite || operation == RegOperation::kDeleteValue;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// True when `target` is the whole of `subject` or a trailing part of it
// that starts right after a backslash.
bool MatchesTail(const std::string& subject, const std::string& target) {
    if (target.empty()) return true;
    const std::string s = Lower(subject);
    const std::string t = Lower(target);
    if (s == t) return true;
    return s.size() > t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0 &&
           s[s.size() - t.size() - 1] == '\\';
}

}  // namespace

namespace detail {
long RegistryFaultDue(RegOperation operation, const std::string& keyPath,
                      const std::string& valueName) {
    const std::string subject = IsValueOperation(operation) ? keyPath + "\\" + valueName : keyPath;
    std::lock_guard<std::mutex> guard(g_mutex);
    for (auto it = g_faults.begin(); it != g_faults.end(); ++it) {
        if (it->operation != operation || !MatchesTail(subject, it->target)) continue;
        const long error = it->error;
        if (!it->always) g_faults.erase(it);
        return error;
    }
    return kErrorSuccess;
}

bool RegistryFlushWanted() { return g_flush; }
}  // namespace detail

namespace testing {
void FailRegistryOperation(RegOperation operation, const std::string& target, long error,
                           bool always) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_faults.push_back(Fault{operation, target, error, always});
}

void ClearRegistryFaults() {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_faults.clear();
}

void SetRegistryFlush(bool flush) { g_flush = flush; }
}  // namespace testing

}  // namespace platform
