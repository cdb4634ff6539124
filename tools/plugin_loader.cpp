#include "tools/plugin_loader.h"

#include "tools/os.h"

PluginLoader::~PluginLoader() {
    if (handle_ != nullptr) tovana::os::UnloadModule(handle_);
}

bool PluginLoader::Load(const std::string& path) {
    std::string reason;
    handle_ = tovana::os::LoadModule(path, &reason);
    if (handle_ == nullptr) {
        error_ = "cannot load plug-in " + path + ": " + reason;
        return false;
    }
    // By name, as the editor finds them.
    auto resolve = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            tovana::os::FindSymbol(handle_, name));
        if (function == nullptr) error_ = path + " does not export " + name;
        return function != nullptr;
    };
    return resolve(query, "QueryXfm") && resolve(init, "XfmInit") && resolve(setup, "XfmSetup") &&
           resolve(process, "XfmDo") && resolve(destroy, "XfmDestroy");
}

std::string SelfPath() { return tovana::os::SelfPath(); }

std::string DefaultPluginPath() {
    const std::string self = SelfPath();
    if (self.empty()) return "ZentrixTvn.xfm";
    return self.substr(0, tovana::os::LastSeparator(self) + 1) + "ZentrixTvn.xfm";
}
