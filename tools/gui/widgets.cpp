#include "tools/gui/widgets.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "platform/event_source.h"
#include "tools/gui/gui.h"

namespace ztgui {

DialogWindow::DialogWindow(WindowRenderer* renderer, platform::WindowHandle handle, int width, int height)
    : Fl_Double_Window(width, height), renderer_(renderer), handle_(handle) {
    // The caption's close button. (Escape never comes here: the renderer
    // takes every key of a dialog window first.)
    callback(
        [](Fl_Widget* widget, void*) {
            auto* window = static_cast<DialogWindow*>(widget);
            window->renderer_->Post(window->handle_, platform::Action::Close());
        },
        nullptr);
}

void PushButton::draw() {
    if (!isDefault) {
        Fl_Button::draw();
        return;
    }
    // Inset by one pixel so the outline stays inside the button's rectangle.
    const int x0 = x(), y0 = y(), w0 = w(), h0 = h();
    resize(x0 + 1, y0 + 1, w0 - 2, h0 - 2);
    Fl_Button::draw();
    resize(x0, y0, w0, h0);
    fl_color(active_r() ? FL_BLACK : fl_inactive(FL_BLACK));
    fl_rect(x0, y0, w0, h0);
}

void GroupFrame::draw() {
    fl_font(labelfont(), labelsize());
    const int textHeight = fl_height();
    const int top = y() + textHeight / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - (top - y()), color());
    const char* text = label();
    if (text == nullptr || *text == 0) return;
    const int textWidth = static_cast<int>(fl_width(text));
    fl_color(parent() != nullptr ? parent()->color() : FL_BACKGROUND_COLOR);
    fl_rectf(x() + 6, y(), textWidth + 4, textHeight);
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    fl_draw(text, x() + 8, y() + textHeight - fl_descent());
}

void StaticText::draw() {
    draw_box();
    draw_label(x(), y(), w(), h(), align());
}

void ReadOnlyEdit::draw() {
    draw_box(FL_DOWN_BOX, FL_BACKGROUND_COLOR);
    fl_font(labelfont(), labelsize());
    fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
    fl_draw(text.c_str(), x() + 3, y() + 1, w() - 6, h() - 2, textAlign | FL_ALIGN_CLIP, nullptr, 0);
}

Trackbar::Trackbar(int x, int y, int w, int h, bool vertical) : Fl_Slider(x, y, w, h) {
    type(vertical ? FL_VERT_NICE_SLIDER : FL_HOR_NICE_SLIDER);
    box(FL_FLAT_BOX);
    step(1);
    const int length = vertical ? h : w;
    if (length > 0) slider_size(11.0 / length);
    when(FL_WHEN_CHANGED);
}

ListBox::ListBox(int x, int y, int w, int h) : Fl_Hold_Browser(x, y, w, h) {
    format_char(0);
    has_scrollbar(Fl_Browser_::VERTICAL);
    when(FL_WHEN_RELEASE_ALWAYS);
}

TabStrip::TabStrip(WindowRenderer* renderer, int x, int y, int w, int h)
    : Fl_Widget(x, y, w, h), renderer_(renderer) {}

int TabStrip::TabWidth(int index) const {
    fl_font(labelfont(), labelsize());
    return static_cast<int>(fl_width(tabs[index].c_str())) + 12;
}

int TabStrip::TabAt(int px, int py) const {
    if (py < y() || py >= y() + rowHeight) return -1;
    int left = x() + 2;
    for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
        const int width = TabWidth(i);
        if (px >= left && px < left + width) return i;
        left += width;
    }
    return -1;
}

int TabStrip::handle(int event) {
    switch (event) {
        case FL_PUSH: {
            const int index = TabAt(Fl::event_x(), Fl::event_y());
            if (index < 0) return 0;
            platform::Action action = platform::Action::SelectTab(index);
            renderer_->Post(renderer_->DialogOf(user_data()), action);
            return 1;
        }
        case FL_FOCUS:
        case FL_UNFOCUS:
            redraw();
            return 1;
        default:
            return Fl_Widget::handle(event);
    }
}

void TabStrip::draw() {
    const Fl_Color face = FL_BACKGROUND_COLOR;
    // The page area: a raised panel under the row of tabs.
    fl_draw_box(FL_UP_BOX, x(), y() + rowHeight - 2, w(), h() - rowHeight + 2, face);
    fl_font(labelfont(), labelsize());
    int left = x() + 2;
    int selectedLeft = -1, selectedWidth = 0;
    for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
        const int width = TabWidth(i);
        if (i == current) {
            selectedLeft = left;
            selectedWidth = width;
        } else {
            fl_draw_box(FL_UP_BOX, left, y() + 2, width, rowHeight - 2, face);
            fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
            fl_draw(tabs[i].c_str(), left, y() + 2, width, rowHeight - 4, FL_ALIGN_CENTER, nullptr, 0);
        }
        left += width;
    }
    if (selectedLeft >= 0) {
        // The selected tab stands taller and merges with the panel.
        const int l = selectedLeft - 2, wdt = selectedWidth + 4;
        fl_draw_box(FL_UP_BOX, l, y(), wdt, rowHeight + 2, face);
        fl_color(face);
        fl_rectf(l + 2, y() + rowHeight - 2, wdt - 4, 4);
        fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
        fl_draw(tabs[current].c_str(), l, y(), wdt, rowHeight - 2, FL_ALIGN_CENTER, nullptr, 0);
        if (Fl::focus() == this) {
            fl_color(FL_FOREGROUND_COLOR);
            fl_line_style(FL_DOT);
            fl_rect(l + 3, y() + 3, wdt - 6, rowHeight - 7);
            fl_line_style(0);
        }
    }
}

void IconBox::draw() {
    const int cx = x() + 16, cy = y() + 16;
    const unsigned icon = icon_ & platform::kMbIconMask;
    fl_font(FL_HELVETICA_BOLD, 22);
    if (icon == platform::kMbIconExclamation) {
        fl_color(fl_rgb_color(250, 210, 30));
        fl_polygon(cx, y() + 1, x() + 31, y() + 30, x() + 1, y() + 30);
        fl_color(FL_BLACK);
        fl_loop(cx, y() + 1, x() + 31, y() + 30, x() + 1, y() + 30);
        fl_draw("!", x(), y() + 6, 32, 26, FL_ALIGN_CENTER, nullptr, 0);
        return;
    }
    const bool error = icon == platform::kMbIconError;
    fl_color(error ? fl_rgb_color(210, 30, 30) : fl_rgb_color(30, 80, 200));
    fl_pie(x(), y(), 32, 32, 0, 360);
    fl_color(FL_WHITE);
    if (error) {
        fl_line_style(FL_SOLID | FL_CAP_ROUND, 4);
        fl_line(cx - 7, cy - 7, cx + 7, cy + 7);
        fl_line(cx + 7, cy - 7, cx - 7, cy + 7);
        fl_line_style(0);
    } else {
        fl_draw(icon == platform::kMbIconQuestion ? "?" : "i", x(), y(), 32, 32, FL_ALIGN_CENTER, nullptr, 0);
    }
}

}  // namespace ztgui
