// The plug-in's dialogs in real windows (FLTK on X11).
//
// WindowRenderer is an event source: whenever a modal dialog of the portable
// framework waits for input, the renderer brings its windows up to date with
// the window model, waits for the person at the screen and hands the
// framework the action their mouse or keyboard input stands for. Message
// boxes become modal windows of their own. Nothing of the dialogs, the pages
// or the presets knows that a window is shown.
//
// The library is loaded by tovana only for `tovana setup`, through the two
// C functions at the end, so that the rest of tovana needs no display.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_source.h"

class Fl_Widget;
class Fl_Window;

namespace ztgui {

class DialogWindow;

// Returns once X shows the window (at most a few seconds), drawn.
void WaitUntilMapped(Fl_Window* window);

class WindowRenderer : public platform::EventSource {
public:
    // A renderer on the X display named by DISPLAY; null with the reason in
    // `error` when there is none (DISPLAY unset, or no server answers).
    static std::unique_ptr<WindowRenderer> Open(std::string* error);
    ~WindowRenderer() override;
    WindowRenderer(const WindowRenderer&) = delete;
    WindowRenderer& operator=(const WindowRenderer&) = delete;

    std::optional<platform::Action> NextAction(platform::WindowHandle dialog, const std::string& title) override;
    int AnswerMessageBox(const platform::MessageBoxInfo& box) override;

    // The point size of the dialog font and its average character cell in
    // pixels; the layout assumes the model's 6 by 13.
    int fontSize() const { return fontSize_; }
    int averageCharWidth() const { return charWidth_; }
    int charHeight() const { return charHeight_; }

    // For tests and screenshots. The widget showing a model window, its
    // rectangle relative to its top-level window, and that window's X id.
    Fl_Widget* WidgetOf(platform::WindowHandle handle) const;
    bool WidgetRect(platform::WindowHandle handle, platform::Rect* rect) const;
    unsigned long NativeWindow(platform::WindowHandle dialog) const;
    // The pixels of a shown dialog's client area, RGB, row by row.
    bool Capture(platform::WindowHandle dialog, std::vector<unsigned char>* rgb, int* width, int* height);
    // Runs `call` whenever the renderer is about to wait for input, with the
    // waiting dialog (tests drive and look from here).
    void SetOnWait(std::function<void(platform::WindowHandle dialog)> call) { onWait_ = std::move(call); }
    // Runs `call` when a message box has been shown, before waiting for its
    // answer (tests press its buttons from here).
    void SetOnMessageBox(std::function<void(const platform::MessageBoxInfo& box, Fl_Window* window)> call) {
        onMessageBox_ = std::move(call);
    }
    // Queues an action as if the person had made it on `dialog`.
    void Inject(platform::WindowHandle dialog, const platform::Action& action);

    // Called by the widgets.
    void Post(platform::WindowHandle dialog, const platform::Action& action);
    platform::WindowHandle waiting() const { return waiting_; }
    bool HandleKey(DialogWindow* window, int key, bool shift);
    platform::WindowHandle DialogOf(platform::WindowHandle handle) const;

private:
    WindowRenderer();
    void Sync();
    void SyncDialog(platform::WindowHandle dialog);
    void SyncChildren(platform::WindowHandle parent, int originX, int originY, Fl_Widget* group);
    Fl_Widget* Create(platform::WindowHandle handle, platform::WindowHandle dialog);
    void Update(Fl_Widget* widget, platform::WindowHandle handle, int x, int y);
    void Forget(platform::WindowHandle handle);

    struct Shown {
        Fl_Widget* widget = nullptr;
        platform::WindowHandle dialog = nullptr;  // its top-level dialog
    };
    struct Pending {
        platform::WindowHandle dialog;
        platform::Action action;
    };
    std::map<platform::WindowHandle, Shown> widgets_;
    std::map<platform::WindowHandle, DialogWindow*> windows_;
    std::deque<Pending> pending_;
    platform::WindowHandle waiting_ = nullptr;
    std::function<void(platform::WindowHandle)> onWait_;
    std::function<void(const platform::MessageBoxInfo&, Fl_Window*)> onMessageBox_;
    unsigned long revision_ = ~0ul;
    int fontSize_ = 11;
    int charWidth_ = 6;
    int charHeight_ = 13;
};

}  // namespace ztgui

// What tovana looks up after loading the library.
extern "C" {
// A renderer, or null with the reason written into `error`.
platform::EventSource* ZtGuiCreate(char* error, std::size_t size);
void ZtGuiDestroy(platform::EventSource* source);
}
