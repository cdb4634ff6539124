// The FLTK widgets that stand for the classic Windows controls of the
// plug-in's dialogs. Each knows the model window it shows (its user data)
// and reports what the person does to it as a framework action; it never
// changes the dialog's state itself: the renderer copies the model's state
// back onto every widget before the next wait.
#pragma once

#include <string>
#include <vector>

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Slider.H>

#include "platform/framework.h"

namespace ztgui {

class WindowRenderer;

// A top-level dialog. Its close button cancels as the caption's would.
class DialogWindow : public Fl_Double_Window {
public:
    DialogWindow(WindowRenderer* renderer, platform::WindowHandle handle, int width, int height);
    platform::WindowHandle handle() const { return handle_; }
    using Fl_Double_Window::handle;

private:
    WindowRenderer* renderer_;
    platform::WindowHandle handle_;
};

// A push button; the default button wears a dark outline.
class PushButton : public Fl_Button {
public:
    PushButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {}
    bool isDefault = false;

protected:
    void draw() override;
};

// A group box: an etched frame below the middle of its caption.
class GroupFrame : public Fl_Widget {
public:
    GroupFrame(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}

protected:
    void draw() override;
};

// A static text: drawn from the control's very edge, as Windows does
// (FLTK's boxes keep a few pixels clear on the side they align to).
class StaticText : public Fl_Box {
public:
    StaticText(int x, int y, int w, int h) : Fl_Box(x, y, w, h) {}

protected:
    void draw() override;
};

// A read-only edit: sunken, grey, the text placed as the edit's style says.
class ReadOnlyEdit : public Fl_Widget {
public:
    ReadOnlyEdit(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    std::string text;
    Fl_Align textAlign = FL_ALIGN_LEFT;

protected:
    void draw() override;
};

// A trackbar: whole positions only.
class Trackbar : public Fl_Slider {
public:
    Trackbar(int x, int y, int w, int h, bool vertical);
};

// A list box whose entries are plain text (no FLTK formatting codes).
class ListBox : public Fl_Hold_Browser {
public:
    ListBox(int x, int y, int w, int h);
    std::vector<std::string> shown;
};

// The sheet's tab control: one row of tabs over the page area.
class TabStrip : public Fl_Widget {
public:
    TabStrip(WindowRenderer* renderer, int x, int y, int w, int h);
    std::vector<std::string> tabs;
    int current = -1;
    int rowHeight = 21;

    // The tab under a point, or -1.
    int TabAt(int px, int py) const;
    int handle(int event) override;

protected:
    void draw() override;

private:
    int TabWidth(int index) const;
    WindowRenderer* renderer_;
};

// A message box's icon, drawn as the classic shapes.
class IconBox : public Fl_Widget {
public:
    IconBox(int x, int y, unsigned icon) : Fl_Widget(x, y, 32, 32), icon_(icon) {}

protected:
    void draw() override;

private:
    unsigned icon_;
};

}  // namespace ztgui
