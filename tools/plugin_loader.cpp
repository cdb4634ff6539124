#include "tools/plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

PluginLoader::~PluginLoader() {
    if (handle_ != nullptr) dlclose(handle_);
}

bool PluginLoader::Load(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = "cannot load plug-in " + path + ": " + (reason != nullptr ? reason : "unknown error");
        return false;
    }
    auto resolve = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle_, name));
        if (function == nullptr) error_ = path + " does not export " + name;
        return function != nullptr;
    };
    return resolve(query, "QueryXfm") && resolve(init, "XfmInit") && resolve(setup, "XfmSetup") &&
           resolve(process, "XfmDo") && resolve(destroy, "XfmDestroy");
}

std::string SelfPath() {
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    return std::string(self, static_cast<std::size_t>(length));
}

std::string DefaultPluginPath() {
    const std::string self = SelfPath();
    if (self.empty()) return "ZentrixTvn.xfm";
    return self.substr(0, self.find_last_of('/') + 1) + "ZentrixTvn.xfm";
}
