// The registry on Windows: advapi32's calls under HKEY_CURRENT_USER, the
// whole-tree deletion of shlwapi and the system's message texts. Every call
// first asks the shared fault hooks, which name keys by their full path; so
// each open handle remembers the path it was opened by.
#include <windows.h>
// After windows.h, before the registry layer's own declarations.
#include "platform/win32/registry_names.h"
#include <shlwapi.h>

#include <map>
#include <mutex>

#include "platform/registry.h"
#include "platform/registry_faults.h"

namespace platform {
namespace {

constexpr const char* kCurrentUserPath = "HKEY_CURRENT_USER";

std::mutex g_mutex;
std::map<HKEY, std::string>& OpenPaths() {
    static std::map<HKEY, std::string> paths;
    return paths;
}

HKEY Native(RegKey key) { return static_cast<HKEY>(key); }

// The path of an open key as the fault hooks see it; an unknown handle gets
// a path no fault names, and the system call then reports the handle.
std::string PathOf(RegKey key) {
    if (Native(key) == HKEY_CURRENT_USER) return kCurrentUserPath;
    std::lock_guard<std::mutex> guard(g_mutex);
    const auto found = OpenPaths().find(Native(key));
    return found != OpenPaths().end() ? found->second : std::string();
}

std::string Below(const std::string& path, std::string subKey) {
    while (!subKey.empty() && subKey.back() == '\\') subKey.pop_back();
    return subKey.empty() ? path : path + "\\" + subKey;
}

long Fault(RegOperation operation, RegKey key, const std::string& valueName = std::string()) {
    return detail::RegistryFaultDue(operation, PathOf(key), valueName);
}

long Opened(long error, HKEY opened, const std::string& path, RegKey* result) {
    if (error != ERROR_SUCCESS) return error;
    std::lock_guard<std::mutex> guard(g_mutex);
    OpenPaths()[opened] = path;
    *result = opened;
    return ERROR_SUCCESS;
}

}  // namespace

RegKey CurrentUserKey() { return HKEY_CURRENT_USER; }

long RegOpenKey(RegKey parent, const std::string& subKey, RegKey* result) {
    if (result == nullptr) return kErrorInvalidParameter;
    *result = nullptr;
    const std::string path = Below(PathOf(parent), subKey);
    if (long error = detail::RegistryFaultDue(RegOperation::kOpen, path, ""); error != kErrorSuccess) {
        return error;
    }
    HKEY opened = nullptr;
    const long error = RegOpenKeyExA(Native(parent), subKey.c_str(), 0, KEY_ALL_ACCESS, &opened);
    return Opened(error, opened, path, result);
}

long RegCreateKey(RegKey parent, const std::string& subKey, RegKey* result) {
    if (result == nullptr) return kErrorInvalidParameter;
    *result = nullptr;
    const std::string path = Below(PathOf(parent), subKey);
    if (long error = detail::RegistryFaultDue(RegOperation::kCreate, path, ""); error != kErrorSuccess) {
        return error;
    }
    HKEY created = nullptr;
    const long error = RegCreateKeyExA(Native(parent), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, &created, nullptr);
    return Opened(error, created, path, result);
}

long RegCloseKey(RegKey key) {
    if (Native(key) == HKEY_CURRENT_USER) return kErrorSuccess;  // predefined keys stay open
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        OpenPaths().erase(Native(key));
    }
    return ::RegCloseKey(Native(key));
}

long RegQueryValueSize(RegKey key, const std::string& name, std::uint32_t* size) {
    if (size == nullptr) return kErrorInvalidParameter;
    if (long error = Fault(RegOperation::kQuerySize, key, name); error != kErrorSuccess) return error;
    DWORD bytes = 0;
    const long error = RegQueryValueExA(Native(key), name.c_str(), nullptr, nullptr, nullptr, &bytes);
    if (error == ERROR_SUCCESS) *size = bytes;
    return error;
}

long RegQueryValue(RegKey key, const std::string& name, std::uint32_t* type, void* data,
                   std::uint32_t* size) {
    const RegOperation operation = data == nullptr ? RegOperation::kQuerySize : RegOperation::kRead;
    if (long error = Fault(operation, key, name); error != kErrorSuccess) return error;
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    // The system leaves a too small buffer undefined; ask for the size first
    // so that such a buffer stays untouched.
    DWORD valueType = 0;
    DWORD bytes = 0;
    long error = RegQueryValueExA(Native(key), name.c_str(), nullptr, &valueType, nullptr, &bytes);
    if (error != ERROR_SUCCESS) return error;
    if (data != nullptr) {
        if (*size < bytes) {
            *size = bytes;
            return kErrorMoreData;
        }
        error = RegQueryValueExA(Native(key), name.c_str(), nullptr, &valueType, static_cast<BYTE*>(data),
                                 &bytes);
        if (error != ERROR_SUCCESS) return error;
    }
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = bytes;
    return kErrorSuccess;
}

long RegSetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                 std::uint32_t size) {
    if (long error = Fault(RegOperation::kWrite, key, name); error != kErrorSuccess) return error;
    if (data == nullptr && size != 0) return kErrorInvalidParameter;
    return RegSetValueExA(Native(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

long RegDeleteValue(RegKey key, const std::string& name) {
    if (long error = Fault(RegOperation::kDeleteValue, key, name); error != kErrorSuccess) return error;
    return RegDeleteValueA(Native(key), name.c_str());
}

long RegEnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) {
    if (long error = Fault(RegOperation::kEnumerate, key); error != kErrorSuccess) return error;
    if (name == nullptr || nameLength == nullptr) return kErrorInvalidParameter;
    DWORD length = *nameLength;
    const long error = RegEnumKeyExA(Native(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_SUCCESS) *nameLength = length;
    return error;
}

long RegQueryMaxSubKeyLength(RegKey key, std::uint32_t* length) {
    if (long error = Fault(RegOperation::kQueryInfo, key); error != kErrorSuccess) return error;
    if (length == nullptr) return kErrorInvalidParameter;
    DWORD longest = 0;
    const long error = RegQueryInfoKeyA(Native(key), nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_SUCCESS) *length = longest;
    return error;
}

long RegDeleteKey(RegKey parent, const std::string& subKey) {
    const std::string path = Below(PathOf(parent), subKey);
    if (long error = detail::RegistryFaultDue(RegOperation::kDeleteKey, path, ""); error != kErrorSuccess) {
        return error;
    }
    return RegDeleteKeyA(Native(parent), subKey.c_str());
}

long RegDeleteTree(RegKey parent, const std::string& subKey) {
    const std::string path = Below(PathOf(parent), subKey);
    if (long error = detail::RegistryFaultDue(RegOperation::kDeleteTree, path, ""); error != kErrorSuccess) {
        return error;
    }
    return static_cast<long>(SHDeleteKeyA(Native(parent), subKey.c_str()));
}

// The registry itself checks and keeps what it stores: no file to salvage,
// no problem to tell beyond each call's own code.
std::string TakeRegistryProblem() { return std::string(); }
std::string TakeRegistryWriteProblem() { return std::string(); }
void SetRegistryRepairRules(std::vector<RegistryKeyRule>) {}

// Each call reaches the registry at once. The registry's only way of
// making several changes visible together is a kernel transaction
// (RegCreateKeyTransacted), which Microsoft discourages for new code; a
// preset written under another name and renamed (RegRenameKey) would show
// under that name to a reader meanwhile. So a preset becomes visible value
// by value, as it always did.
void BeginRegistryBatch() {}
long EndRegistryBatch() { return kErrorSuccess; }
void AbandonRegistryBatch() {}

std::string SystemMessageText(long errorCode) {
    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageA(flags, nullptr, static_cast<DWORD>(errorCode),
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length != 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) LocalFree(text);
    return message;
}

}  // namespace platform
