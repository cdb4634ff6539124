// Message boxes as modal windows: icon, text, the buttons of the box's
// type with its default button on Enter, and Escape or the close button
// answering as Windows does (Cancel where there is one, OK in an OK box,
// nothing in a Yes/No box).
#include <algorithm>
#include <memory>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>

#include "tools/gui/gui.h"
#include "tools/gui/widgets.h"

namespace ztgui {

namespace {

struct BoxState {
    int answer = 0;
    int escapeAnswer = 0;  // 0: Escape and the close button do nothing
    Fl_Double_Window* window = nullptr;
};

struct ButtonChoice {
    const char* text;
    int id;
};

std::vector<ButtonChoice> ButtonsOf(unsigned type) {
    switch (type & platform::kMbButtonsMask) {
        case platform::kMbOkCancel: return {{"OK", platform::kIdOk}, {"Cancel", platform::kIdCancel}};
        case platform::kMbYesNo: return {{"&Yes", platform::kIdYes}, {"&No", platform::kIdNo}};
        default: return {{"OK", platform::kIdOk}};
    }
}

int EscapeAnswerOf(unsigned type) {
    switch (type & platform::kMbButtonsMask) {
        case platform::kMbOkCancel: return platform::kIdCancel;
        case platform::kMbYesNo: return 0;
        default: return platform::kIdOk;
    }
}

}  // namespace

int WindowRenderer::AnswerMessageBox(const platform::MessageBoxInfo& box) {
    Sync();  // the dialog behind shows what led to the message
    constexpr int kMargin = 12;
    constexpr int kButtonWidth = 75;
    constexpr int kButtonHeight = 23;
    constexpr int kButtonGap = 6;
    const bool hasIcon = (box.type & platform::kMbIconMask) != 0;

    fl_font(FL_HELVETICA, fontSize_);
    int textWidth = 360;
    int textHeight = 0;
    fl_measure(box.text.c_str(), textWidth, textHeight, 0);
    textWidth = std::min(textWidth, 360);
    textHeight = std::max(textHeight, fl_height());
    const std::vector<ButtonChoice> buttons = ButtonsOf(box.type);
    const int buttonsWidth = static_cast<int>(buttons.size()) * kButtonWidth +
                             (static_cast<int>(buttons.size()) - 1) * kButtonGap;
    const int textLeft = kMargin + (hasIcon ? 32 + kMargin : 0);
    const int contentHeight = std::max(textHeight, hasIcon ? 32 : 0);
    const int width = std::max({textLeft + textWidth + kMargin, buttonsWidth + 2 * kMargin, 180});
    const int height = kMargin + contentHeight + kMargin + kButtonHeight + kMargin;

    BoxState state;
    state.escapeAnswer = EscapeAnswerOf(box.type);
    auto window = std::make_unique<Fl_Double_Window>(width, height);
    state.window = window.get();
    window->copy_label(box.caption.c_str());
    window->xclass("tovana");
    if (hasIcon) new IconBox(kMargin, kMargin, box.type);
    auto* text = new Fl_Box(textLeft, kMargin + (contentHeight - textHeight) / 2, textWidth, textHeight);
    text->copy_label(box.text.c_str());
    text->labelsize(fontSize_);
    text->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT | FL_ALIGN_WRAP);
    const int defaultId = box.DefaultButton();
    int left = (width - buttonsWidth) / 2;
    PushButton* defaultButton = nullptr;
    for (const ButtonChoice& choice : buttons) {
        auto* button = new PushButton(left, height - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
        button->copy_label(choice.text);
        button->labelsize(fontSize_);
        // The button's own data is its answer; the box's state hangs on
        // the window.
        button->callback(
            [](Fl_Widget* widget, long answer) {
                auto* s = static_cast<BoxState*>(widget->window()->user_data());
                s->answer = static_cast<int>(answer);
                s->window->hide();
            },
            static_cast<long>(choice.id));
        if (choice.id == defaultId) {
            button->isDefault = true;
            button->shortcut(FL_Enter);
            defaultButton = button;
        }
        left += kButtonWidth + kButtonGap;
    }
    window->end();
    window->callback(
        [](Fl_Widget*, void* data) {
            auto* s = static_cast<BoxState*>(data);
            if (s->escapeAnswer == 0) return;
            s->answer = s->escapeAnswer;
            s->window->hide();
        },
        &state);
    // Centred over the window it belongs to.
    auto owner = windows_.find(box.owner);
    if (owner != windows_.end() && owner->second->shown()) {
        window->position(owner->second->x() + (owner->second->w() - width) / 2,
                         owner->second->y() + (owner->second->h() - height) / 2);
    } else {
        window->position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
    }
    window->set_modal();
    window->show();
    if (defaultButton != nullptr) defaultButton->take_focus();
    if (onMessageBox_) {
        WaitUntilMapped(window.get());
        onMessageBox_(box, window.get());
    }
    while (window->shown()) Fl::wait();
    return state.answer != 0 ? state.answer : defaultId;
}

}  // namespace ztgui
