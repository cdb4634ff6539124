// Runs the plug-in dialog from a script of user actions and looks at its
// controls while it waits, on a private registry file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/event_source.h"
#include "platform/framework.h"
#include "settings/resource_ids.h"
#include "tests/store_fixture.h"
#include "ui/setup.h"

namespace dialog_test {

using platform::Action;
using platform::Key;
using platform::Scope;

// The controls of the waiting dialog, looked up as the script's actions do.
class Controls {
public:
    explicit Controls(platform::WindowHandle dialog) : dialog_(dialog) {}

    CWnd Find(int id, Scope scope = Scope::Auto) const {
        platform::WindowHandle control = platform::FindControl(dialog_, id, scope);
        EXPECT_NE(control, nullptr) << "no control " << id;
        return CWnd(control);
    }
    int Slider(int id, Scope scope = Scope::Auto) const {
        return CSliderCtrl(Find(id, scope).GetSafeHwnd()).GetPos();
    }
    std::string Text(int id, Scope scope = Scope::Auto) const { return Find(id, scope).GetWindowText(); }
    bool Checked(int id, Scope scope = Scope::Auto) const {
        return CButton(Find(id, scope).GetSafeHwnd()).GetCheck() != 0;
    }
    bool Enabled(int id, Scope scope = Scope::Auto) const { return Find(id, scope).IsWindowEnabled(); }

    CListBox List() const { return CListBox(Find(IDC_PRESET_LIST, Scope::Dialog).GetSafeHwnd()); }
    std::vector<std::string> Entries() const {
        CListBox list = List();
        std::vector<std::string> entries;
        for (int i = 0; i < list.GetCount(); ++i) entries.push_back(list.GetText(i));
        return entries;
    }
    // The selected entry's text, empty when nothing is selected.
    std::string Selected() const {
        CListBox list = List();
        const int index = list.GetCurSel();
        return index < 0 ? std::string() : list.GetText(index);
    }
    int Wet() const { return Slider(IDC_WET_SLIDER, Scope::Dialog); }
    int Dry() const { return Slider(IDC_DRY_SLIDER, Scope::Dialog); }
    std::string WetText() const { return Text(IDC_WET_EDIT, Scope::Dialog); }
    std::string DryText() const { return Text(IDC_DRY_EDIT, Scope::Dialog); }
    bool Linked() const { return Checked(IDC_LINKED, Scope::Dialog); }

private:
    platform::WindowHandle dialog_;
};

inline Action Look(std::function<void(const Controls&)> look) {
    return Action::Inspect([look](platform::WindowHandle dialog) { look(Controls(dialog)); });
}

// Save Preset, typing `name` into the name dialog and confirming it.
inline std::vector<Action> SaveAs(const std::string& name) {
    return {Action::Click(IDC_SAVE_PRESET, Scope::Dialog), Action::Type(IDC_PRESET_NAME, name),
            Action::Click(platform::kIdOk)};
}

struct DialogRun {
    int result = 0;
    std::vector<platform::MessageBoxRecord> boxes;
    std::string error;
    bool finished = false;

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes) texts.push_back(box.box.text);
        return texts;
    }
};

// Joins groups of actions into one script.
inline std::vector<Action> Script(std::initializer_list<std::vector<Action>> parts) {
    std::vector<Action> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline DialogRun RunDialog(std::vector<Action> actions) {
    platform::ScriptedEventSource source(std::move(actions));
    platform::SetEventSource(&source);
    DialogRun run;
    run.result = RunPluginDialog();
    platform::SetEventSource(nullptr);
    run.boxes = source.messageBoxes();
    run.error = source.error();
    run.finished = source.finished();
    return run;
}

// A script that must play to its end without a broken step.
#define EXPECT_PLAYED(run)                                 \
    do {                                                   \
        EXPECT_EQ((run).error, "");                        \
        EXPECT_TRUE((run).finished) << "script not played to its end"; \
    } while (0)

}  // namespace dialog_test

class DialogFixture : public StoreFixture {
protected:
    static std::string Init() { return Root() + "\\Init"; }
    static std::string Last(const char* effect) { return Init() + "\\Last " + effect + " Settings"; }
};
