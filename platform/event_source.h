// Where a modal dialog's input comes from when no user sits at it.
//
// The portable window model has an event source instead of a user:
// whenever a modal dialog waits for input it asks the current source for
// the next user action, and every message box asks it for the button
// pressed. A script (ScriptedEventSource) drives tests and the command-line
// host; a renderer that shows real windows plugs in as another source.
//
// On Windows the dialogs are real and read the message queue, possibly in
// another module's copy of this layer. There, installing a source starts a
// thread that watches the process's windows, asks the source whenever a
// dialog waits or a message box shows, and carries the actions out with
// the window messages a user's input produces. Without a source, Windows
// dialogs wait for the user as usual.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/framework.h"

namespace platform {

enum class Key { Enter, Escape, Tab, ShiftTab, Left, Right, Up, Down, Home, End, PageUp, PageDown };

// Where a control id is looked up. Auto: the active page of the dialog's
// property sheet first, then the dialog itself (a page and its dialog may
// use the same ids for different controls).
enum class Scope { Auto, Dialog, Page };

struct Action {
    enum class Kind {
        Click,           // a button or check box, as a mouse click does
        MoveSlider,      // a trackbar to `value` (clamped), as a drag does
        Focus,           // give the control the keyboard focus
        Press,           // `key` on the focused control (Enter/Escape anywhere)
        SelectTab,       // the sheet's tab `value`, as a click on the tab
        SelectListIndex, // the list box entry `value`, as a click on it
        SelectListText,  // the list box entry whose text equals `text`
        Type,            // replace the edit's text with `text`
        Close,           // the caption's close button
        Answer,          // the next message box: `value` is kIdOk, kIdYes, ...
        Inspect,         // run `inspect` on the waiting dialog (tests look at controls)
    };
    Kind kind = Kind::Click;
    int control = 0;
    Scope scope = Scope::Auto;
    int value = 0;
    Key key = Key::Enter;
    std::string text;
    std::function<void(WindowHandle dialog)> inspect;

    static Action Click(int control, Scope scope = Scope::Auto);
    static Action MoveSlider(int control, int position, Scope scope = Scope::Auto);
    static Action Focus(int control, Scope scope = Scope::Auto);
    static Action Press(Key key);
    static Action SelectTab(int index);
    static Action SelectListIndex(int control, int index);
    static Action SelectListText(int control, const std::string& text);
    static Action Type(int control, const std::string& text);
    static Action Close();
    static Action Answer(int button);
    static Action Inspect(std::function<void(WindowHandle dialog)> look);
};

// The control `control` of a waiting dialog, looked up as actions do; null
// when there is none. Wrap it in CWnd, CSliderCtrl, ... to read its state.
WindowHandle FindControl(WindowHandle dialog, int control, Scope scope = Scope::Auto);
// The window handle of the top modal dialog, null when none runs.
WindowHandle ActiveModalDialog();

struct MessageBoxInfo {
    std::string caption;
    std::string text;
    unsigned type = 0;  // kMb* buttons | icon
    WindowHandle owner = nullptr;
    int DefaultButton() const;  // kIdOk for OK boxes, kIdYes for Yes/No, ...
};

struct MessageBoxRecord {
    MessageBoxInfo box;
    int answer = 0;
};

class EventSource {
public:
    virtual ~EventSource() = default;
    // A modal dialog (`dialog`, its caption in `title`) waits for input.
    // nullopt closes it as the caption's close button would.
    virtual std::optional<Action> NextAction(WindowHandle dialog, const std::string& title) = 0;
    // A message box is shown; returns the button pressed.
    virtual int AnswerMessageBox(const MessageBoxInfo& box) = 0;
    // The action returned last could not be carried out on the dialog
    // titled `title` (no such control, a control of another kind, an index
    // out of range). The default ignores it.
    virtual void ActionFailed(const Action& action, const std::string& title, const std::string& reason);
};

// The source the modal loops use; null restores the default, which closes
// every dialog at once and answers every message box with its default
// button (on Windows: stops the player and leaves the dialogs to the
// user). Not owned; on Windows it is called from the player's thread.
void SetEventSource(EventSource* source);
EventSource* CurrentEventSource();

// Plays a list of actions. Message boxes take the next action when it is an
// Answer; otherwise, with answerUnscriptedBoxes, their default button, else
// the script is broken. Running out of actions while a dialog waits, or a
// broken script, is recorded in error() (naming the dialog or box) and
// closes the waiting dialog; nothing ever hangs.
class ScriptedEventSource : public EventSource {
public:
    explicit ScriptedEventSource(std::vector<Action> actions, bool answerUnscriptedBoxes = false);

    std::optional<Action> NextAction(WindowHandle dialog, const std::string& title) override;
    int AnswerMessageBox(const MessageBoxInfo& box) override;
    // Records the failure; the script counts as broken from then on.
    void ActionFailed(const Action& action, const std::string& title, const std::string& reason) override;

    const std::vector<MessageBoxRecord>& messageBoxes() const { return boxes_; }
    const std::string& error() const { return error_; }
    bool finished() const { return next_ == actions_.size(); }

private:
    std::vector<Action> actions_;
    std::size_t next_ = 0;
    bool answerUnscriptedBoxes_;
    std::vector<MessageBoxRecord> boxes_;
    std::string error_;
};

}  // namespace platform
