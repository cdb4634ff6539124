// The application object, message boxes and the module's resources on
// Windows. Strings come from the string table compiled into the module;
// the dialog templates' captions and sizes also from the tables the module
// registers (made from the same resource script).
#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/framework.h"
#include "platform/framework_common.h"
#include "platform/resource_tables.h"
#include "platform/win32/framework_win32.h"

namespace {

// The module (plug-in or program) whose image holds `address`.
HMODULE ModuleOf(const void* address) {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, static_cast<LPCSTR>(address), &module)) return nullptr;
    return module;
}

}  // namespace

std::string platform::detail::ModulePathOf(const void* address) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(ModuleOf(address), path, sizeof path);
    return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

int AfxMessageBox(const std::string& text, unsigned type) {
    CWinApp* app = AfxGetApp();
    return MessageBoxA(GetActiveWindow(), text.c_str(), app != nullptr ? app->title().c_str() : "", type);
}

namespace platform {

// LoadStringA copies into a buffer, while callers keep the pointer: each
// id's text is loaded once and kept for the life of the module.
const char* FindStringResource(unsigned id) {
    static std::map<unsigned, std::string> cache;  // nodes stay put
    const auto found = cache.find(id);
    if (found != cache.end()) return found->second.c_str();
    char text[1024];
    const int length = LoadStringA(win32::FrameworkModule(), id, text, sizeof text);
    if (length <= 0) return nullptr;
    return cache.emplace(id, std::string(text, static_cast<std::size_t>(length))).first->second.c_str();
}

}  // namespace platform
