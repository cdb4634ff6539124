// Helpers for tests that drive dialogs with a script.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/event_source.h"
#include "platform/framework.h"
#include "settings/resource_ids.h"

// Installs a script as the event source for one scope.
class ScriptScope {
public:
    explicit ScriptScope(std::vector<platform::Action> actions, bool answerUnscriptedBoxes = false)
        : source_(std::move(actions), answerUnscriptedBoxes) {
        platform::SetEventSource(&source_);
    }
    ~ScriptScope() { platform::SetEventSource(nullptr); }
    ScriptScope(const ScriptScope&) = delete;
    ScriptScope& operator=(const ScriptScope&) = delete;

    platform::ScriptedEventSource& source() { return source_; }

private:
    platform::ScriptedEventSource source_;
};

// The plug-in's dialog templates with nothing of the plug-in behind them.
namespace framework_test {

using platform::Scope;
using platform::WindowHandle;

constexpr int kPluginDialog = IDD_PLUGIN_DIALOG;
constexpr int kOk = 1, kCancel = 2;
constexpr int kWetSlider = IDC_WET_SLIDER, kDrySlider = IDC_DRY_SLIDER;
constexpr int kWetEdit = IDC_WET_EDIT, kDryEdit = IDC_DRY_EDIT;
constexpr int kPresetList = IDC_PRESET_LIST, kSaveButton = IDC_SAVE_PRESET, kDeleteButton = IDC_DELETE_PRESET;
constexpr int kLinked = IDC_LINKED;

struct Event {
    std::string what;
    int id = 0;
    int code = 0;
    int position = 0;
    bool operator==(const Event& other) const {
        return what == other.what && id == other.id && code == other.code && position == other.position;
    }
};

inline std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << e.what << "(" << e.id << ", " << e.code << ", " << e.position << ")";
}

// The plug-in dialog's template with nothing of the plug-in behind it: it
// sets the mix sliders' ranges and records every notification.
class RecordingDialog : public CDialog {
public:
    RecordingDialog() : CDialog(kPluginDialog) {}

    bool OnInitDialog() override {
        Item<CSliderCtrl>(kWetSlider).SetRange(0, 100);
        Item<CSliderCtrl>(kDrySlider).SetRange(-90, 0);
        return CDialog::OnInitDialog();
    }
    bool OnCommand(int id, int code) override {
        events.push_back({"command", id, code, 0});
        return CDialog::OnCommand(id, code);
    }
    void OnHScroll(int code, int position, CWnd* bar) override {
        events.push_back({"scroll", bar->GetDlgCtrlID(), code, position});
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, kWetEdit, wet);
        DDX_Slider(dx, kDrySlider, dry);
        DDX_Check(dx, kLinked, linked);
    }

    std::vector<Event> events;
    double wet = 0.0;
    int dry = 0;
    int linked = 0;
};

template <class Control = CWnd>
Control In(WindowHandle dialog, int id, Scope scope = Scope::Auto) {
    return Control(platform::FindControl(dialog, id, scope));
}

inline std::vector<std::string> g_log;

class LoggingPage : public CPropertyPage {
public:
    LoggingPage(int templateId, std::string name, int slider)
        : CPropertyPage(templateId), name_(std::move(name)), slider_(slider) {}
    bool OnInitDialog() override {
        g_log.push_back(name_ + " init");
        Item<CSliderCtrl>(slider_).SetRange(0, 1000);
        return CPropertyPage::OnInitDialog();
    }
    bool OnSetActive() override {
        g_log.push_back(name_ + " set");
        return CPropertyPage::OnSetActive();
    }
    bool OnKillActive() override {
        g_log.push_back(name_ + " kill");
        return CPropertyPage::OnKillActive();
    }
    void DoDataExchange(CDataExchange* dx) override { DDX_Slider(dx, slider_, mirror); }
    void OnHScroll(int code, int, CWnd* bar) override {
        if (code == platform::kTbEndTrack) g_log.push_back(name_ + " scroll " + std::to_string(bar->GetDlgCtrlID()));
    }
    int mirror = 7;

private:
    std::string name_;
    int slider_;
};

class SheetDialog : public CDialog {
public:
    SheetDialog() : CDialog(kPluginDialog), sheet(IDS_PROPERTY_SHEET),
          alien(IDD_ALIENATOR, "alien", IDC_ALIENATOR_CARRIER_FREQ),
          radio(IDD_COMMUNICATOR, "radio", IDC_COMMUNICATOR_FULLNESS) {}
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        sheet.AddPage(&alien);
        sheet.AddPage(&radio);
        sheet.EnableStackedTabs(false);
        sheet.Create(this, platform::kWsChild | platform::kWsVisible, 0);
        platform::Rect frame;
        GetDlgItem(IDC_SHEET_FRAME).GetWindowRect(&frame);
        ScreenToClient(&frame);
        sheet.GetTabControl().MoveWindow(0, 0, frame.Width(), frame.Height());
        sheet.SetWindowPos(nullptr, frame.left, frame.top, 0, 0,
                           platform::kSwpNoZOrder | platform::kSwpNoSize | platform::kSwpNoActivate);
        sheet.ModifyStyleEx(0, platform::kWsExControlParent);
        sheet.ModifyStyle(0, platform::kWsTabStop);
        return true;
    }
    CPropertySheet sheet;
    LoggingPage alien;
    LoggingPage radio;
};

}  // namespace framework_test
