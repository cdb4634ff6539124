// The registry without Windows: keys and values kept in one file in the
// registry export format (see reg_storage.h for how it reaches the disk).
//
// A handle names its key by path, because the tree is read afresh whenever
// another process changed the file. A handle whose key this process deleted
// stays marked as deleted even if a key of the same name appears again;
// one whose key vanished by another process's hand finds it gone.
#include "platform/registry.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/portable/reg_names.h"
#include "platform/portable/reg_repair.h"
#include "platform/portable/reg_storage.h"
#include "platform/registry_faults.h"

namespace platform {
namespace {

struct KeyHandle {
    std::vector<std::string> path;  // hive first, names as stored
    bool deleted = false;
};

std::mutex g_mutex;
KeyHandle g_currentUser{{reg::kCurrentUserHive}, false};

std::unordered_set<KeyHandle*>& LiveHandles() {
    static std::unordered_set<KeyHandle*> live;
    return live;
}

KeyHandle* FindHandle(RegKey key) {
    auto* handle = static_cast<KeyHandle*>(key);
    if (handle == &g_currentUser) return handle;
    return LiveHandles().count(handle) != 0 ? handle : nullptr;
}

std::string JoinPath(const std::vector<std::string>& path) {
    std::string text;
    for (const std::string& name : path) text += (text.empty() ? "" : "\\") + name;
    return text;
}

// Splits a subkey path at its backslashes; one trailing backslash is
// accepted, an empty name anywhere else is not.
long SplitSubKey(const std::string& subKey, std::vector<std::string>* names) {
    names->clear();
    std::size_t start = 0;
    while (start < subKey.size()) {
        std::size_t end = subKey.find('\\', start);
        if (end == std::string::npos) end = subKey.size();
        if (end == start) return kErrorBadPathname;
        names->push_back(subKey.substr(start, end - start));
        start = end + 1;
    }
    return kErrorSuccess;
}

// A name the file can hold: the registry's length limit, and neither a line
// break, which no line of the file could carry, nor a NUL, which no narrow
// name can hold and which would make the file unreadable as text.
bool Storable(const std::string& name, std::size_t maxLength) {
    return reg::Utf16Length(name) <= maxLength &&
           name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

reg::Key* Resolve(reg::Key& top, const KeyHandle& handle) {
    if (handle.deleted) return nullptr;
    reg::Key* key = &top;
    for (const std::string& name : handle.path) {
        key = key->FindSubkey(name);
        if (key == nullptr) return nullptr;
    }
    return key;
}

// Every handle open on the deleted key or below it fails from now on.
void MarkDeleted(const std::vector<std::string>& path) {
    for (KeyHandle* handle : LiveHandles()) {
        if (handle->path.size() < path.size()) continue;
        bool below = true;
        for (std::size_t i = 0; i < path.size() && below; ++i) {
            below = reg::SameName(handle->path[i], path[i]);
        }
        if (below) handle->deleted = true;
    }
}

std::vector<std::string> Concat(std::vector<std::string> path,
                                const std::vector<std::string>& more) {
    path.insert(path.end(), more.begin(), more.end());
    return path;
}

// The key of `handle`, or the error a call on it returns.
long KeyOf(reg::Session& session, const KeyHandle& handle, reg::Key** key) {
    if (session.status() != kErrorSuccess) return session.status();
    *key = Resolve(session.top(), handle);
    return *key != nullptr ? kErrorSuccess : kErrorKeyDeleted;
}

long OpenOrCreate(RegKey parent, const std::string& subKey, RegKey* result, bool create) {
    if (result == nullptr) return kErrorInvalidParameter;
    *result = nullptr;
    std::lock_guard<std::mutex> guard(g_mutex);
    KeyHandle* handle = FindHandle(parent);
    if (handle == nullptr) return kErrorInvalidHandle;
    std::vector<std::string> names;
    if (long error = SplitSubKey(subKey, &names); error != kErrorSuccess) return error;
    const std::vector<std::string> wanted = Concat(handle->path, names);
    const RegOperation operation = create ? RegOperation::kCreate : RegOperation::kOpen;
    if (long error = detail::RegistryFaultDue(operation, JoinPath(wanted), "");
        error != kErrorSuccess) {
        return error;
    }
    if (create) {
        // What the file could not read back is not stored.
        if (wanted.size() - 1 > reg::kMaxKeyDepth) return kErrorInvalidParameter;
        for (const std::string& name : names) {
            if (!Storable(name, reg::kMaxKeyNameLength)) return kErrorInvalidParameter;
        }
    }

    reg::Session session;
    if (create && session.status() != kErrorSuccess) return session.Refuse();
    reg::Key* key = nullptr;
    if (long error = KeyOf(session, *handle, &key); error != kErrorSuccess) return error;
    std::vector<std::string> path = handle->path;
    bool changed = false;
    for (const std::string& name : names) {
        bool created = false;
        reg::Key* next = create ? key->AddSubkey(name, &created) : key->FindSubkey(name);
        if (next == nullptr) return kErrorFileNotFound;
        changed = changed || created;
        key = next;
        path.push_back(key->name);
    }
    if (changed) {
        if (long error = session.Commit(); error != kErrorSuccess) return error;
    }
    auto* opened = new KeyHandle{path, false};
    LiveHandles().insert(opened);
    *result = opened;
    return kErrorSuccess;
}

// Finds the key `subKey` names below `parent` for a deletion: its parent key
// and its own path. Deleting a hive, or the key of `parent` when that is a
// hive, is refused.
long FindForDeletion(reg::Session& session, const KeyHandle& handle,
                     const std::vector<std::string>& names, reg::Key** parentKey, reg::Key** key,
                     std::vector<std::string>* path) {
    reg::Key* base = nullptr;
    if (long error = KeyOf(session, handle, &base); error != kErrorSuccess) return error;
    *path = handle.path;
    *parentKey = nullptr;
    *key = base;
    for (const std::string& name : names) {
        reg::Key* next = (*key)->FindSubkey(name);
        if (next == nullptr) return kErrorFileNotFound;
        *parentKey = *key;
        *key = next;
        path->push_back(next->name);
    }
    if (path->size() <= 1) return kErrorAccessDenied;
    if (*parentKey == nullptr) {
        // The handle's own key: find its parent from the top.
        KeyHandle parentHandle{std::vector<std::string>(path->begin(), path->end() - 1), false};
        *parentKey = Resolve(session.top(), parentHandle);
        if (*parentKey == nullptr) return kErrorKeyDeleted;
    }
    return kErrorSuccess;
}

long DeleteKeyOrTree(RegKey parent, const std::string& subKey, bool tree) {
    std::lock_guard<std::mutex> guard(g_mutex);
    KeyHandle* handle = FindHandle(parent);
    if (handle == nullptr) return kErrorInvalidHandle;
    std::vector<std::string> names;
    if (long error = SplitSubKey(subKey, &names); error != kErrorSuccess) return error;
    const RegOperation operation = tree ? RegOperation::kDeleteTree : RegOperation::kDeleteKey;
    if (long error = detail::RegistryFaultDue(operation, JoinPath(Concat(handle->path, names)), "");
        error != kErrorSuccess) {
        return error;
    }
    reg::Session session;
    if (session.status() != kErrorSuccess) return session.Refuse();
    reg::Key* parentKey = nullptr;
    reg::Key* key = nullptr;
    std::vector<std::string> path;
    if (long error = FindForDeletion(session, *handle, names, &parentKey, &key, &path);
        error != kErrorSuccess) {
        return error;
    }
    if (!tree && !key->subkeys.empty()) return kErrorAccessDenied;
    parentKey->RemoveSubkey(path.back());
    if (long error = session.Commit(); error != kErrorSuccess) return error;
    MarkDeleted(path);
    return kErrorSuccess;
}

// The handle and value of a value call, checked and with the fault hook
// consulted; returns the handle's error, the fault's, or success.
long BeginValueCall(RegKey key, const std::string& name, RegOperation operation,
                    KeyHandle** handle) {
    *handle = FindHandle(key);
    if (*handle == nullptr) return kErrorInvalidHandle;
    return detail::RegistryFaultDue(operation, JoinPath((*handle)->path), name);
}

}  // namespace

RegKey CurrentUserKey() { return &g_currentUser; }

long RegOpenKey(RegKey parent, const std::string& subKey, RegKey* result) {
    return OpenOrCreate(parent, subKey, result, false);
}

long RegCreateKey(RegKey parent, const std::string& subKey, RegKey* result) {
    return OpenOrCreate(parent, subKey, result, true);
}

long RegCloseKey(RegKey key) {
    std::lock_guard<std::mutex> guard(g_mutex);
    KeyHandle* handle = FindHandle(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    if (handle == &g_currentUser) return kErrorSuccess;  // predefined keys stay open
    LiveHandles().erase(handle);
    delete handle;
    return kErrorSuccess;
}

long RegQueryValueSize(RegKey key, const std::string& name, std::uint32_t* size) {
    return RegQueryValue(key, name, nullptr, nullptr, size);
}

long RegQueryValue(RegKey key, const std::string& name, std::uint32_t* type, void* data,
                   std::uint32_t* size) {
    std::lock_guard<std::mutex> guard(g_mutex);
    KeyHandle* handle = nullptr;
    const RegOperation operation = data == nullptr ? RegOperation::kQuerySize : RegOperation::kRead;
    if (long error = BeginValueCall(key, name, operation, &handle); error != kErrorSuccess)
        return error;
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    reg::Session session;
    reg::Key* node = nullptr;
    if (long error = KeyOf(session, *handle, &node); error != kErrorSuccess) return error;
    const reg::Value* value = node->FindValue(name);
    if (value == nullptr) return kErrorFileNotFound;
    const auto length = static_cast<std::uint32_t>(value->data.size());
    if (type != nullptr) *type = value->type;
    if (data != nullptr && *size < length) {
        *size = length;
        return kErrorMoreData;
    }
    if (data != nullptr && length != 0) std::memcpy(data, value->data.data(), length);
    if (size != nullptr) *size = length;
    return kErrorSuccess;
}

long RegSetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                 std::uint32_t size) {
    std::lock_guard<std::mutex> guard(g_mutex);
    KeyHandle* handle = nullptr;
    if (long error = BeginValueCall(key, name, RegOperation::kWrite, &handle);
        error != kErrorSuccess) {
        return error;
    }
    if ((data == nullptr && size != 0) || size > reg::kMaxValueBytes ||
        !Storable(name, reg::kMaxValueNameLength)) {
        return kErrorInvalidParameter;
    }
    reg::Session session;
    if (session.status() != kErrorSuccess) return session.Refuse();
    reg::Key* node = nullptr;
    if (long error = KeyOf(session, *handle, &node); error != kErrorSuccess) return error;
    // Writing what is already stored changes nothing and costs no disk write.
    if (!node->SetValue(name, type, static_cast<const unsigned char*>(data), size) &&
        !session.Salvaged()) {
        return kErrorSuccess;
    }
    return session.Commit();
}

long RegDeleteValue(RegKey key, const std::string& name) {
    std::lock_guard<std::mutex> guard(g_mutex);
    KeyHandle* handle = nullptr;
    if (long error = BeginValueCall(key, name, RegOperation::kDeleteValue, &handle);
        error != kErrorSuccess) {
        return error;
    }
    reg::Session session;
    if (session.status() != kErrorSuccess) return session.Refuse();
    reg::Key* node = nullptr;
    if (long error = KeyOf(session, *handle, &node); error != kErrorSuccess) return error;
    if (!node->RemoveValue(name)) return kErrorFileNotFound;
    return session.Commit();
}

long RegEnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) {
    std::lock_guard<std::mutex> guard(g_mutex);
    KeyHandle* handle = FindHandle(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    if (name == nullptr || nameLength == nullptr) return kErrorInvalidParameter;
    if (long error = detail::RegistryFaultDue(RegOperation::kEnumerate, JoinPath(handle->path), "");
        error != kErrorSuccess) {
        return error;
    }
    reg::Session session;
    reg::Key* node = nullptr;
    if (long error = KeyOf(session, *handle, &node); error != kErrorSuccess) return error;
    if (index >= node->subkeys.size()) return kErrorNoMoreItems;
    auto it = node->subkeys.begin();
    std::advance(it, index);
    const std::string& subName = it->second->name;
    if (subName.size() + 1 > *nameLength) return kErrorMoreData;
    std::memcpy(name, subName.c_str(), subName.size() + 1);
    *nameLength = static_cast<std::uint32_t>(subName.size());
    return kErrorSuccess;
}

long RegQueryMaxSubKeyLength(RegKey key, std::uint32_t* length) {
    std::lock_guard<std::mutex> guard(g_mutex);
    KeyHandle* handle = FindHandle(key);
    if (handle == nullptr) return kErrorInvalidHandle;
    if (length == nullptr) return kErrorInvalidParameter;
    if (long error = detail::RegistryFaultDue(RegOperation::kQueryInfo, JoinPath(handle->path), "");
        error != kErrorSuccess) {
        return error;
    }
    reg::Session session;
    reg::Key* node = nullptr;
    if (long error = KeyOf(session, *handle, &node); error != kErrorSuccess) return error;
    // In bytes of the narrow name, the size a caller's buffer for
    // RegEnumKey needs, which for a name beyond ASCII exceeds its
    // length in characters.
    std::size_t longest = 0;
    for (const auto& entry : node->subkeys) longest = std::max(longest, entry.second->name.size());
    *length = static_cast<std::uint32_t>(longest);
    return kErrorSuccess;
}

long RegDeleteKey(RegKey parent, const std::string& subKey) {
    return DeleteKeyOrTree(parent, subKey, false);
}

long RegDeleteTree(RegKey parent, const std::string& subKey) {
    return DeleteKeyOrTree(parent, subKey, true);
}

std::string RegistryFilePath() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return reg::CurrentFilePath();
}

void SetRegistryFilePath(const std::string& path) {
    std::lock_guard<std::mutex> guard(g_mutex);
    reg::SetFilePath(path);
}

std::string TakeRegistryProblem() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return reg::TakeProblem();
}

std::string TakeRegistryWriteProblem() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return reg::TakeWriteProblem();
}

void BeginRegistryBatch() {
    std::lock_guard<std::mutex> guard(g_mutex);
    reg::BeginBatch();
}

long EndRegistryBatch() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return reg::EndBatch();
}

// Handles marked deleted by a change of the batch stay so.
void AbandonRegistryBatch() {
    std::lock_guard<std::mutex> guard(g_mutex);
    reg::AbandonBatch();
}

void SetRegistryRepairRules(std::vector<RegistryKeyRule> rules) {
    std::lock_guard<std::mutex> guard(g_mutex);
    reg::SetRepairRules(std::move(rules));
}

}  // namespace platform
