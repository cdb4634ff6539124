// The window of `tovana setup` on Linux: libztgui, an FLTK renderer of the
// plug-in's dialog. It is loaded only here, so every other command works
// without it and without a display.
#include "tools/setup_window.h"

#include "tools/os.h"

namespace tovana {
namespace {

using CreateFunction = platform::EventSource* (*)(char* error, std::size_t size);
using DestroyFunction = void (*)(platform::EventSource* source);

// The window library beside tovana, else wherever the loader finds it.
void* LoadWindowLibrary(const Context& context, std::string* error) {
    const std::size_t slash = os::LastSeparator(context.self);
    const std::string folder = slash == std::string::npos ? std::string(".") : context.self.substr(0, slash);
    if (void* library = os::LoadModule(os::Join(folder, "libztgui.so"), error)) return library;
    std::string ignored;
    if (void* library = os::LoadModule("libztgui.so", &ignored)) return library;
    return nullptr;
}

}  // namespace

bool OpenSetupWindow(const Context& context, SetupWindow* window, std::string* error) {
    std::string reason;
    void* library = LoadWindowLibrary(context, &reason);
    if (library == nullptr) {
        *error = "setup cannot show a window: " + reason;
        return false;
    }
    auto create = reinterpret_cast<CreateFunction>(os::FindSymbol(library, "ZtGuiCreate"));
    auto destroy = reinterpret_cast<DestroyFunction>(os::FindSymbol(library, "ZtGuiDestroy"));
    if (create == nullptr || destroy == nullptr) {
        os::UnloadModule(library);
        *error = "setup cannot show a window: libztgui.so lacks its entry points";
        return false;
    }
    char text[256] = {};
    platform::EventSource* source = create(text, sizeof text);
    if (source == nullptr) {
        // The library stays loaded: FLTK keeps state that outlives a close.
        *error = std::string(text) + "; tovana setup needs an X display (the other commands do not)";
        return false;
    }
    window->source = source;
    window->library = library;
    window->destroy = destroy;
    return true;
}

void CloseSetupWindow(SetupWindow* window) {
    if (window->source != nullptr && window->destroy != nullptr) window->destroy(window->source);
    window->source = nullptr;
}

}  // namespace tovana
