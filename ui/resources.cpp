#include "ui/resources.h"

#include "host/plugin_app.h"

namespace resources {

const char* FindString(unsigned id) {
    for (std::size_t i = 0; i < kStringTableSize; ++i) {
        if (kStringTable[i].id == id) return kStringTable[i].text;
    }
    return nullptr;
}

namespace {

// The tables belong to the module for as long as it is loaded; the
// application object is part of every module that carries these resources.
struct Registrar {
    Registrar() : app(&theApp) { platform::RegisterModuleResources(&kModuleResources); }
    ~Registrar() { platform::UnregisterModuleResources(&kModuleResources); }
    const PluginApp* app;
};

const Registrar registrar;

}  // namespace

}  // namespace resources
