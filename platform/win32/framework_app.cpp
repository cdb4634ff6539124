// The application object, message boxes and the module's resources on
// Windows. Strings come from the string table compiled into the module;
// the dialog templates' captions and sizes also from the tables the module
// registers (made from the same resource script).
#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/framework.h"
#include "platform/resource_tables.h"
#include "platform/win32/framework_win32.h"

namespace {

std::vector<CWinApp*>& Applications() {
    static std::vector<CWinApp*> applications;
    return applications;
}

std::vector<const platform::ResourceTables*>& Tables() {
    static std::vector<const platform::ResourceTables*> tables;
    return tables;
}

// The module (plug-in or program) whose image holds `address`.
HMODULE ModuleOf(const void* address) {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, static_cast<LPCSTR>(address), &module)) return nullptr;
    return module;
}

std::string ModulePathOf(const void* address) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(ModuleOf(address), path, sizeof path);
    return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

// "C:\...\ZentrixTvn.xfm" gives "ZentrixTvn".
std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

// The title is the base name of the module that contains the object.
CWinApp::CWinApp() : title_(BaseName(ModulePathOf(this))) { Applications().push_back(this); }

CWinApp::~CWinApp() {
    auto& applications = Applications();
    applications.erase(std::remove(applications.begin(), applications.end(), this), applications.end());
}

CWinApp* AfxGetApp() {
    const auto& applications = Applications();
    return applications.empty() ? nullptr : applications.back();
}

int AfxMessageBox(const std::string& text, unsigned type) {
    CWinApp* app = AfxGetApp();
    return MessageBoxA(GetActiveWindow(), text.c_str(), app != nullptr ? app->title().c_str() : "", type);
}

namespace platform {

void RegisterModuleResources(const ResourceTables* tables) {
    if (tables != nullptr) Tables().push_back(tables);
}

void UnregisterModuleResources(const ResourceTables* tables) {
    auto& all = Tables();
    all.erase(std::remove(all.begin(), all.end(), tables), all.end());
}

const ResourceTables* ModuleResources() { return Tables().empty() ? nullptr : Tables().back(); }

const DialogTemplate* FindDialogTemplate(int id) {
    const ResourceTables* tables = ModuleResources();
    if (tables == nullptr) return nullptr;
    for (std::size_t i = 0; i < tables->dialogCount; ++i) {
        if (tables->dialogs[i].id == id) return &tables->dialogs[i];
    }
    return nullptr;
}

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
