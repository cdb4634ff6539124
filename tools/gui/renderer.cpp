#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/window_model.h"
#include "tools/gui/gui.h"
#include "tools/gui/widgets.h"
#include "ui/rc_styles.h"

using platform::Action;
using platform::Key;
using platform::WindowHandle;
using platform::portable::LookUp;
using ModelWindow = platform::portable::Window;
using platform::portable::WindowKind;

namespace ztgui {

namespace {

// The one renderer of the process: FLTK's event hook has no user data.
WindowRenderer* g_renderer = nullptr;

// The pixel cell of one average character that the dialog layout is made
// for ("MS Sans Serif" 8 point): 4 by 8 dialog units.
constexpr int kCellWidth = 6;
constexpr int kCellHeight = 13;

platform::Scope ScopeOf(const ModelWindow& control) {
    const ModelWindow* parent = LookUp(control.parent);
    return parent != nullptr && parent->kind == WindowKind::Page ? platform::Scope::Page : platform::Scope::Dialog;
}

unsigned ButtonType(const ModelWindow& w) { return w.style & BS_TYPEMASK; }

bool IsCheck(const ModelWindow& w) {
    const unsigned type = ButtonType(w);
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

bool IsRadio(const ModelWindow& w) {
    const unsigned type = ButtonType(w);
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool IsEditable(const ModelWindow* w) { return w != nullptr && w->kind == WindowKind::Edit && !(w->style & ES_READONLY); }

// Every control's callback: what the person did, as an action on the
// dialog the control belongs to.
void OnControl(Fl_Widget* widget, void*) {
    WindowRenderer* renderer = g_renderer;
    const WindowHandle handle = widget->user_data();
    const ModelWindow* control = LookUp(handle);
    if (renderer == nullptr || control == nullptr) return;
    Action action;
    switch (control->kind) {
        case WindowKind::Button:
            action = Action::Click(control->id, ScopeOf(*control));
            break;
        case WindowKind::Trackbar:
            action = Action::MoveSlider(control->id, static_cast<int>(std::lround(static_cast<Fl_Slider*>(widget)->value())),
                                        ScopeOf(*control));
            break;
        case WindowKind::ListBox: {
            const int line = static_cast<ListBox*>(widget)->value();
            if (line <= 0) return;
            action = Action::SelectListIndex(control->id, line - 1);
            action.scope = ScopeOf(*control);
            break;
        }
        case WindowKind::Edit:
            action = Action::Type(control->id, static_cast<Fl_Input*>(widget)->value());
            action.scope = ScopeOf(*control);
            break;
        default:
            return;
    }
    renderer->Post(renderer->DialogOf(handle), action);
}

// Keys reach the framework as key presses, the way the dialog manager
// sees them; only an editable edit keeps its own cursor keys and typing.
int Dispatch(int event, Fl_Window* window) {
    if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && g_renderer != nullptr) {
        // While a message box is up, keys are its own.
        auto* dialog = dynamic_cast<DialogWindow*>(window);
        if (dialog != nullptr && (Fl::modal() == nullptr || Fl::modal() == window)) {
            if (g_renderer->HandleKey(dialog, Fl::event_key(), (Fl::event_state() & FL_SHIFT) != 0)) return 1;
        }
    }
    return Fl::handle_(event, window);
}

std::optional<Key> KeyOf(int key, bool shift) {
    switch (key) {
        case FL_Enter:
        case FL_KP_Enter: return Key::Enter;
        case FL_Escape: return Key::Escape;
        case FL_Tab: return shift ? Key::ShiftTab : Key::Tab;
        case FL_Left: return Key::Left;
        case FL_Right: return Key::Right;
        case FL_Up: return Key::Up;
        case FL_Down: return Key::Down;
        case FL_Home: return Key::Home;
        case FL_End: return Key::End;
        case FL_Page_Up: return Key::PageUp;
        case FL_Page_Down: return Key::PageDown;
        default: return std::nullopt;
    }
}

// The largest size of the sans-serif font whose letters are on average no
// wider and whose lines are no higher than the cell the layout was made
// for, so that the texts fit their controls. The cell it reports is
// measured as Windows measures a dialog font: the 52 letters' width over
// 26, plus one, halved.
void ChooseFont(int* size, int* width, int* height) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    *size = 8;
    for (int candidate = 8; candidate <= 16; ++candidate) {
        fl_font(FL_HELVETICA, candidate);
        if (fl_width(kLetters) > 52.0 * kCellWidth || fl_height() > kCellHeight) break;
        *size = candidate;
    }
    fl_font(FL_HELVETICA, *size);
    *width = (static_cast<int>(fl_width(kLetters)) / 26 + 1) / 2;
    *height = fl_height();
}

}  // namespace

void WaitUntilMapped(Fl_Window* window) {
    // X maps a new window some time after FLTK asks for it, and FLTK draws
    // it only once it has seen its first Expose; what is drawn or sent
    // before then is lost.
    if (window->shown()) window->wait_for_expose();
    window->redraw();
    Fl::flush();
    XSync(fl_display, False);
}

WindowRenderer::WindowRenderer() = default;

std::unique_ptr<WindowRenderer> WindowRenderer::Open(std::string* error) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == 0) {
        *error = "no display: DISPLAY is not set";
        return nullptr;
    }
    // FLTK ends the process when it cannot open the display; ask first.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        *error = std::string("no display: cannot open display \"") + name + "\"";
        return nullptr;
    }
    if (g_renderer != nullptr) {
        XCloseDisplay(display);
        *error = "a window renderer is already running";
        return nullptr;
    }
    std::unique_ptr<WindowRenderer> renderer(new WindowRenderer());
    // FLTK keeps this connection: closing it and opening another could meet
    // a server that resets when its last client leaves.
    if (fl_display != nullptr) {
        XCloseDisplay(display);  // a renderer before this one opened it
    } else {
        fl_open_display(display);
    }
    Fl::background(212, 208, 200);
    Fl::visible_focus(1);
    ChooseFont(&renderer->fontSize_, &renderer->charWidth_, &renderer->charHeight_);
    FL_NORMAL_SIZE = renderer->fontSize_;
    g_renderer = renderer.get();
    Fl::event_dispatch(Dispatch);
    return renderer;
}

WindowRenderer::~WindowRenderer() {
    for (auto& [handle, window] : windows_) {
        window->hide();
        delete window;
    }
    windows_.clear();
    widgets_.clear();
    Fl::event_dispatch(nullptr);
    if (g_renderer == this) g_renderer = nullptr;
    Fl::check();
}

void WindowRenderer::Post(WindowHandle dialog, const Action& action) {
    if (dialog == nullptr || dialog != waiting_) return;
    pending_.push_back({dialog, action});
}

void WindowRenderer::Inject(WindowHandle dialog, const Action& action) { pending_.push_back({dialog, action}); }

WindowHandle WindowRenderer::DialogOf(WindowHandle handle) const {
    auto it = widgets_.find(handle);
    return it != widgets_.end() ? it->second.dialog : nullptr;
}

bool WindowRenderer::HandleKey(DialogWindow* window, int key, bool shift) {
    if (window->handle() != waiting_) return true;  // a dialog behind a modal one
    const ModelWindow* focus = LookUp(platform::portable::FocusedWindow());
    const bool editing = IsEditable(focus);
    if (key == ' ' && focus != nullptr && focus->kind == WindowKind::Button) {
        Post(waiting_, Action::Click(focus->id, ScopeOf(*focus)));
        return true;
    }
    std::optional<Key> mapped = KeyOf(key, shift);
    if (!mapped) return !editing;
    if (editing && *mapped != Key::Enter && *mapped != Key::Escape && *mapped != Key::Tab &&
        *mapped != Key::ShiftTab) {
        return false;
    }
    Post(waiting_, Action::Press(*mapped));
    return true;
}

std::optional<Action> WindowRenderer::NextAction(WindowHandle dialog, const std::string&) {
    waiting_ = dialog;
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [&](const Pending& p) { return p.dialog != dialog; }),
                   pending_.end());
    Sync();
    if (pending_.empty() && onWait_) {
        auto window = windows_.find(dialog);
        if (window != windows_.end()) WaitUntilMapped(window->second);
        if (pending_.empty()) onWait_(dialog);
    }
    while (pending_.empty()) {
        if (Fl::first_window() == nullptr) return std::nullopt;  // every window gone
        Fl::wait(0.5);
    }
    Action action = pending_.front().action;
    pending_.pop_front();
    return action;
}

// --- Keeping the windows in step with the model -------------------------

void WindowRenderer::Forget(WindowHandle handle) {
    auto it = widgets_.find(handle);
    if (it == widgets_.end()) return;
    Fl_Widget* widget = it->second.widget;
    widgets_.erase(it);
    if (auto* group = dynamic_cast<Fl_Group*>(widget)) {
        // Its children go with it.
        for (auto c = widgets_.begin(); c != widgets_.end();) {
            if (group->contains(c->second.widget)) {
                c = widgets_.erase(c);
            } else {
                ++c;
            }
        }
    }
    if (Fl::focus() != nullptr && widget->contains(Fl::focus())) Fl::focus(nullptr);
    if (Fl_Group* parent = widget->parent()) parent->remove(widget);
    Fl::delete_widget(widget);
}

void WindowRenderer::Sync() {
    const std::vector<WindowHandle> dialogs = platform::portable::ModalDialogs();
    // Windows of dialogs that have ended.
    for (auto it = windows_.begin(); it != windows_.end();) {
        const bool alive = LookUp(it->first) != nullptr &&
                           std::find(dialogs.begin(), dialogs.end(), it->first) != dialogs.end();
        if (alive) {
            ++it;
            continue;
        }
        DialogWindow* window = it->second;
        for (auto w = widgets_.begin(); w != widgets_.end();) {
            if (w->second.dialog == it->first) {
                w = widgets_.erase(w);
            } else {
                ++w;
            }
        }
        window->hide();
        Fl::delete_widget(window);
        it = windows_.erase(it);
    }
    // Controls whose windows are gone.
    std::vector<WindowHandle> dead;
    for (const auto& [handle, shown] : widgets_) {
        if (LookUp(handle) == nullptr) dead.push_back(handle);
    }
    for (WindowHandle handle : dead) Forget(handle);

    for (WindowHandle dialog : dialogs) SyncDialog(dialog);

    // The keyboard focus follows the model's.
    auto focus = widgets_.find(platform::portable::FocusedWindow());
    if (focus != widgets_.end() && focus->second.dialog == waiting_ && Fl::focus() != focus->second.widget) {
        Fl_Widget* old = Fl::focus();
        Fl::focus(focus->second.widget);
        if (old != nullptr) old->redraw();
        focus->second.widget->redraw();
    }
    auto top = windows_.find(waiting_);
    if (top != windows_.end() && !top->second->shown()) top->second->show();
    revision_ = platform::portable::ModelRevision();
    Fl::flush();
}

void WindowRenderer::SyncDialog(WindowHandle dialog) {
    const ModelWindow* model = LookUp(dialog);
    if (model == nullptr) return;
    DialogWindow* window = nullptr;
    auto found = windows_.find(dialog);
    const int width = std::max(1, model->rect.Width());
    const int height = std::max(1, model->rect.Height());
    if (found == windows_.end()) {
        window = new DialogWindow(this, dialog, width, height);
        window->end();
        window->user_data(dialog);
        window->xclass("tovana");
        window->size_range(width, height, width, height);
        // The outermost dialog is centred on the screen; a dialog it opens
        // keeps the offset the model gives it from its owner.
        auto owner = windows_.find(model->owner);
        if (owner != windows_.end() && LookUp(model->owner) != nullptr) {
            const platform::Rect ownerRect = LookUp(model->owner)->rect;
            window->position(owner->second->x() + model->rect.left - ownerRect.left,
                             owner->second->y() + model->rect.top - ownerRect.top);
            window->set_non_modal();  // stays above the dialog it was opened from
        } else {
            window->position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
        }
        windows_[dialog] = window;
        widgets_[dialog] = {window, dialog};
    } else {
        window = found->second;
        if (window->w() != width || window->h() != height) {
            window->size_range(width, height, width, height);
            window->size(width, height);
        }
    }
    if (window->label() == nullptr || model->text != window->label()) window->copy_label(model->text.c_str());
    if (model->enabled()) {
        window->activate();
    } else {
        window->deactivate();
    }
    if (dialog == waiting_ || model->visible()) {
        if (!window->shown()) window->show();
    }
    SyncChildren(dialog, 0, 0, window);
    window->redraw();
}

void WindowRenderer::SyncChildren(WindowHandle parent, int originX, int originY, Fl_Widget* groupWidget) {
    auto* group = static_cast<Fl_Group*>(groupWidget);
    const ModelWindow* model = LookUp(parent);
    if (model == nullptr) return;
    const WindowHandle dialog = DialogOf(parent);
    bool added = false;
    for (WindowHandle child : model->children) {
        const ModelWindow* control = LookUp(child);
        if (control == nullptr) continue;
        auto it = widgets_.find(child);
        Fl_Widget* widget = nullptr;
        if (it == widgets_.end()) {
            widget = Create(child, dialog);
            if (widget == nullptr) continue;
            group->add(widget);
            widgets_[child] = {widget, dialog};
            added = true;
        } else {
            widget = it->second.widget;
        }
        const int x = originX + control->rect.left;
        const int y = originY + control->rect.top;
        Update(widget, child, x, y);
        if (control->kind == WindowKind::Sheet || control->kind == WindowKind::Page) {
            SyncChildren(child, x, y, widget);
        }
    }
    if (added) {
        // Drawing and FLTK's own navigation follow the model's z-order.
        int index = 0;
        for (WindowHandle child : model->children) {
            auto it = widgets_.find(child);
            if (it != widgets_.end() && it->second.widget->parent() == group) group->insert(*it->second.widget, index++);
        }
    }
}

Fl_Widget* WindowRenderer::Create(WindowHandle handle, WindowHandle dialog) {
    (void)dialog;
    const ModelWindow* control = LookUp(handle);
    const platform::Rect& r = control->rect;
    const int x = r.left, y = r.top, w = std::max(1, r.Width()), h = std::max(1, r.Height());
    Fl_Widget* widget = nullptr;
    switch (control->kind) {
        case WindowKind::Sheet: {
            auto* group = new Fl_Group(x, y, w, h);
            group->end();
            group->box(FL_NO_BOX);
            widget = group;
            break;
        }
        case WindowKind::Page: {
            auto* group = new Fl_Group(x, y, w, h);
            group->end();
            group->box(FL_FLAT_BOX);
            widget = group;
            break;
        }
        case WindowKind::Tab:
            widget = new TabStrip(this, x, y, w, h);
            break;
        case WindowKind::Button:
            if (ButtonType(*control) == BS_GROUPBOX) {
                widget = new GroupFrame(x, y, w, h);
            } else if (IsCheck(*control)) {
                widget = new Fl_Check_Button(x, y, w, h);
            } else if (IsRadio(*control)) {
                widget = new Fl_Round_Button(x, y, w, h);
            } else {
                auto* button = new PushButton(x, y, w, h);
                button->isDefault = ButtonType(*control) == BS_DEFPUSHBUTTON;
                widget = button;
            }
            widget->callback(OnControl);
            break;
        case WindowKind::Edit:
            if (control->style & ES_READONLY) {
                auto* edit = new ReadOnlyEdit(x, y, w, h);
                edit->textAlign = (control->style & ES_RIGHT) ? FL_ALIGN_RIGHT
                                  : (control->style & ES_CENTER) ? FL_ALIGN_CENTER
                                                                 : FL_ALIGN_LEFT;
                widget = edit;
            } else {
                auto* input = new Fl_Input(x, y, w, h);
                input->when(FL_WHEN_CHANGED);
                input->callback(OnControl);
                widget = input;
            }
            break;
        case WindowKind::Static: {
            auto* box = new StaticText(x, y, w, h);
            const unsigned type = control->style & SS_TYPEMASK;
            if (type == SS_BLACKFRAME) {
                box->box(FL_BORDER_FRAME);
                box->color(FL_BLACK);
            } else if (type == SS_BLACKRECT) {
                box->box(FL_FLAT_BOX);
                box->color(FL_BLACK);
            } else {
                box->box(FL_NO_BOX);
                const Fl_Align side = type == SS_CENTER ? FL_ALIGN_TOP
                                      : type == SS_RIGHT ? FL_ALIGN_TOP_RIGHT
                                                         : FL_ALIGN_TOP_LEFT;
                // A label one line high stays on its line even where the
                // font runs a little wider than the one it was laid out for.
                fl_font(FL_HELVETICA, fontSize_);
                const Fl_Align wrap = h >= 2 * fl_height() ? FL_ALIGN_WRAP : 0;
                box->align(side | FL_ALIGN_INSIDE | wrap);
            }
            widget = box;
            break;
        }
        case WindowKind::ListBox: {
            auto* list = new ListBox(x, y, w, h);
            list->callback(OnControl);
            widget = list;
            break;
        }
        case WindowKind::Trackbar: {
            auto* bar = new Trackbar(x, y, w, h, (control->style & TBS_VERT) != 0);
            bar->callback(OnControl);
            widget = bar;
            break;
        }
        default:
            return nullptr;
    }
    widget->user_data(handle);
    widget->labelsize(fontSize_);
    // Only controls that take the focus on Windows show it here.
    if (control->kind == WindowKind::Static || control->kind == WindowKind::Page ||
        control->kind == WindowKind::Sheet || (control->kind == WindowKind::Edit && (control->style & ES_READONLY)) ||
        (control->kind == WindowKind::Button && ButtonType(*control) == BS_GROUPBOX)) {
        widget->clear_visible_focus();
    }
    return widget;
}

void WindowRenderer::Update(Fl_Widget* widget, WindowHandle handle, int x, int y) {
    const ModelWindow* control = LookUp(handle);
    const int w = std::max(1, control->rect.Width()), h = std::max(1, control->rect.Height());
    if (widget->x() != x || widget->y() != y || widget->w() != w || widget->h() != h) {
        widget->resize(x, y, w, h);
        if (auto* bar = dynamic_cast<Trackbar*>(widget)) {
            const int length = (control->style & TBS_VERT) ? h : w;
            bar->slider_size(11.0 / length);
        }
    }
    if (control->visible()) {
        widget->show();
    } else {
        widget->hide();
    }
    if (control->enabled()) {
        widget->activate();
    } else {
        widget->deactivate();
    }
    switch (control->kind) {
        case WindowKind::Button:
        case WindowKind::Static:
            if (widget->label() == nullptr || control->text != widget->label()) widget->copy_label(control->text.c_str());
            if (auto* check = dynamic_cast<Fl_Button*>(widget); check != nullptr && !dynamic_cast<PushButton*>(widget)) {
                check->value(control->check != 0 ? 1 : 0);
            }
            break;
        case WindowKind::Edit:
            if (auto* edit = dynamic_cast<ReadOnlyEdit*>(widget)) {
                if (edit->text != control->text) {
                    edit->text = control->text;
                    edit->redraw();
                }
            } else if (auto* input = dynamic_cast<Fl_Input*>(widget)) {
                if (control->text != input->value()) input->value(control->text.c_str());
            }
            break;
        case WindowKind::Trackbar: {
            auto* bar = static_cast<Trackbar*>(widget);
            bar->bounds(control->rangeMin, control->rangeMax);
            if (static_cast<int>(std::lround(bar->value())) != control->position) bar->value(control->position);
            break;
        }
        case WindowKind::ListBox: {
            auto* list = static_cast<ListBox*>(widget);
            std::vector<std::string> texts;
            texts.reserve(control->entries.size());
            for (const auto& entry : control->entries) texts.push_back(entry.text);
            if (texts != list->shown) {
                list->clear();
                for (const std::string& text : texts) list->add(text.c_str());
                list->shown = std::move(texts);
            }
            list->textsize(fontSize_);
            if (control->selection >= 0 && control->selection < list->size()) {
                if (list->value() != control->selection + 1) {
                    list->value(control->selection + 1);
                    list->middleline(control->selection + 1);
                }
            } else if (list->value() != 0) {
                list->deselect();
            }
            break;
        }
        case WindowKind::Tab: {
            auto* strip = static_cast<TabStrip*>(widget);
            if (strip->tabs != control->tabs || strip->current != control->currentTab) {
                strip->tabs = control->tabs;
                strip->current = control->currentTab;
                strip->redraw();
            }
            break;
        }
        default:
            break;
    }
}

// --- Queries -------------------------------------------------------------

Fl_Widget* WindowRenderer::WidgetOf(WindowHandle handle) const {
    auto it = widgets_.find(handle);
    return it != widgets_.end() ? it->second.widget : nullptr;
}

bool WindowRenderer::WidgetRect(WindowHandle handle, platform::Rect* rect) const {
    Fl_Widget* widget = WidgetOf(handle);
    if (widget == nullptr) return false;
    if (widget->as_window() != nullptr) {
        *rect = {0, 0, widget->w(), widget->h()};
    } else {
        *rect = {widget->x(), widget->y(), widget->x() + widget->w(), widget->y() + widget->h()};
    }
    return true;
}

unsigned long WindowRenderer::NativeWindow(WindowHandle dialog) const {
    auto it = windows_.find(dialog);
    if (it == windows_.end() || !it->second->shown()) return 0;
    return static_cast<unsigned long>(fl_xid(it->second));
}

bool WindowRenderer::Capture(WindowHandle dialog, std::vector<unsigned char>* rgb, int* width, int* height) {
    auto it = windows_.find(dialog);
    if (it == windows_.end() || !it->second->shown()) return false;
    DialogWindow* window = it->second;
    WaitUntilMapped(window);
    *width = window->w();
    *height = window->h();
    // What the screen shows there, as a screenshot would.
    int left = 0, top = 0;
    ::Window child = 0;
    const ::Window root = RootWindow(fl_display, fl_screen);
    XTranslateCoordinates(fl_display, fl_xid(window), root, 0, 0, &left, &top, &child);
    XImage* image = XGetImage(fl_display, root, left, top, *width, *height, AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    // Each channel scaled from its mask to 8 bits.
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0) return 0u;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const unsigned long maximum = mask >> shift;
        return static_cast<unsigned>(((pixel & mask) >> shift) * 255 / maximum);
    };
    rgb->resize(static_cast<std::size_t>(*width) * *height * 3);
    for (int y = 0; y < *height; ++y) {
        for (int x = 0; x < *width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            unsigned char* out = &(*rgb)[(static_cast<std::size_t>(y) * *width + x) * 3];
            out[0] = static_cast<unsigned char>(channel(pixel, image->red_mask));
            out[1] = static_cast<unsigned char>(channel(pixel, image->green_mask));
            out[2] = static_cast<unsigned char>(channel(pixel, image->blue_mask));
        }
    }
    XDestroyImage(image);
    return true;
}

}  // namespace ztgui

platform::EventSource* ZtGuiCreate(char* error, std::size_t size) {
    std::string reason;
    std::unique_ptr<ztgui::WindowRenderer> renderer = ztgui::WindowRenderer::Open(&reason);
    if (!renderer && error != nullptr && size > 0) {
        std::strncpy(error, reason.c_str(), size - 1);
        error[size - 1] = 0;
    }
    return renderer.release();
}

void ZtGuiDestroy(platform::EventSource* source) { delete source; }
