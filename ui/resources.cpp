#include "ui/resources.h"

#include "host/plugin_app.h"

namespace resources {

// Through the platform: the module's compiled string table on Windows,
// the registered tables elsewhere.
const char* FindString(unsigned id) { return platform::FindStringResource(id); }

// The application object gives message boxes the module's name, so every
// module that carries these resources has one. A pointer with external
// linkage is a reference no compiler may drop: it links the object in.
extern const PluginApp* const kApplication = &theApp;

namespace {

// The tables belong to the module for as long as it is loaded.
struct Registrar {
    Registrar() { platform::RegisterModuleResources(&kModuleResources); }
    ~Registrar() { platform::UnregisterModuleResources(&kModuleResources); }
};

const Registrar registrar;

}  // namespace

}  // namespace resources
