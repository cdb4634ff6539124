// The application object, message boxes and the module's resource tables
// in the portable build.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/portable/framework_internal.h"

namespace {

std::vector<CWinApp*>& Applications() {
    static std::vector<CWinApp*> applications;
    return applications;
}

std::vector<const platform::ResourceTables*>& Tables() {
    static std::vector<const platform::ResourceTables*> tables;
    return tables;
}

// The file that holds `address`: the plug-in module for an object defined
// in it, the program itself for one defined there.
std::string ModulePathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) != 0 && info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        return info.dli_fname;
    }
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// "…/ZentrixTvn.xfm" gives "ZentrixTvn".
std::string BaseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

// The title is the base name of the module that contains the object, as a
// library that sets no title of its own gets it on Windows.
CWinApp::CWinApp() : title_(BaseName(ModulePathOf(this))) { Applications().push_back(this); }

CWinApp::~CWinApp() {
    auto& applications = Applications();
    applications.erase(std::remove(applications.begin(), applications.end(), this), applications.end());
}

// With several modules loaded (a test program that also loads the
// plug-in), the latest application object still alive answers.
CWinApp* AfxGetApp() {
    const auto& applications = Applications();
    return applications.empty() ? nullptr : applications.back();
}

int AfxMessageBox(const std::string& text, unsigned type) {
    CWinApp* app = AfxGetApp();
    return platform::portable::ShowMessageBox(platform::ActiveModalDialog(), text, app != nullptr ? app->title() : "",
                                              type);
}

namespace platform {

namespace portable {

int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption, unsigned type) {
    MessageBoxInfo box;
    box.caption = caption;
    box.text = text;
    box.type = type;
    box.owner = owner;
    Touch();
    return CurrentEventSource()->AnswerMessageBox(box);
}

}  // namespace portable

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

const char* FindStringResource(unsigned id) {
    const ResourceTables* tables = ModuleResources();
    if (tables == nullptr) return nullptr;
    for (std::size_t i = 0; i < tables->stringCount; ++i) {
        if (tables->strings[i].id == id) return tables->strings[i].text;
    }
    return nullptr;
}

}  // namespace platform
