// The application object, message boxes and the module's resource tables
// in the portable build.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/framework_common.h"
#include "platform/portable/framework_internal.h"

// The file that holds `address`: the plug-in module for an object defined
// in it, the program itself for one defined there.
std::string platform::detail::ModulePathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) != 0 && info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        return info.dli_fname;
    }
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
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

const char* FindStringResource(unsigned id) {
    const ResourceTables* tables = ModuleResources();
    if (tables == nullptr) return nullptr;
    for (std::size_t i = 0; i < tables->stringCount; ++i) {
        if (tables->strings[i].id == id) return tables->strings[i].text;
    }
    return nullptr;
}

}  // namespace platform
