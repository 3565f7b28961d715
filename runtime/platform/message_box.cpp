// Modal message boxes: a small Xlib window on a connection of its own, so that a box can be shown
// from any thread while the game window's event loop goes on. The caption is the window's title
// and is repeated inside the window, since the box may appear where no window manager draws
// titles. Each button is a child window, which keeps hit-testing to the X server.
#include "runtime/platform/private/message_box.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t feed = text.find('\n', start);
        if (feed == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            return lines;
        }
        lines.emplace_back(text.substr(start, feed - start));
        start = feed + 1;
    }
}

BoxAnswer answer_for_key(unsigned long key_symbol, BoxKind kind) {
    const bool yes_no = kind == BoxKind::yes_no;
    switch (key_symbol) {
    case XK_Return:
    case XK_KP_Enter:
        return yes_no ? BoxAnswer::yes : BoxAnswer::ok;
    case XK_Escape:
        return yes_no ? BoxAnswer::no : BoxAnswer::ok;
    case XK_y:
    case XK_Y:
        return yes_no ? BoxAnswer::yes : BoxAnswer::failed;
    case XK_n:
    case XK_N:
        return yes_no ? BoxAnswer::no : BoxAnswer::failed;
    case XK_space:
    case XK_o:
    case XK_O:
        return yes_no ? BoxAnswer::failed : BoxAnswer::ok;
    default:
        return BoxAnswer::failed;
    }
}

BoxAnswer answer_for_close(BoxKind kind) {
    return kind == BoxKind::yes_no ? BoxAnswer::no : BoxAnswer::ok;
}

std::vector<BoxButton> box_buttons(BoxKind kind) {
    if (kind == BoxKind::yes_no) return {{"Yes", BoxAnswer::yes}, {"No", BoxAnswer::no}};
    return {{"OK", BoxAnswer::ok}};
}

namespace {

constexpr int margin_px = 16;
constexpr int button_width_px = 80;
constexpr int button_gap_px = 12;

struct ButtonWindow {
    Window window = 0;
    BoxButton button;
};

struct OpenBox {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    XFontStruct* font = nullptr;
    bool own_font = false;
    std::string caption;
    std::vector<std::string> lines;
    std::vector<ButtonWindow> buttons;
    int line_height = 0;
    int width = 0;
};

void set_atom_list(Display* display, Window window, const char* property,
                   std::initializer_list<const char*> names) {
    std::vector<Atom> atoms;
    for (const char* name : names) atoms.push_back(XInternAtom(display, name, False));
    XChangeProperty(display, window, XInternAtom(display, property, False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
}

void set_title(Display* display, Window window, const std::string& title) {
    XStoreName(display, window, title.c_str());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
}

int text_width(const OpenBox& box, const std::string& line) {
    return XTextWidth(box.font, line.data(), static_cast<int>(line.size()));
}

void draw_box(const OpenBox& box) {
    XClearWindow(box.display, box.window);
    int baseline = margin_px + box.font->ascent;
    XDrawString(box.display, box.window, box.gc, margin_px, baseline, box.caption.data(),
                static_cast<int>(box.caption.size()));
    baseline += box.line_height;  // a blank line between caption and text
    for (const std::string& line : box.lines) {
        baseline += box.line_height;
        XDrawString(box.display, box.window, box.gc, margin_px, baseline, line.data(),
                    static_cast<int>(line.size()));
    }
}

void draw_button(const OpenBox& box, const ButtonWindow& button, bool is_default) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(box.display, button.window, &attributes);
    XClearWindow(box.display, button.window);
    XDrawRectangle(box.display, button.window, box.gc, 0, 0,
                   static_cast<unsigned>(attributes.width - 1),
                   static_cast<unsigned>(attributes.height - 1));
    if (is_default) {
        XDrawRectangle(box.display, button.window, box.gc, 2, 2,
                       static_cast<unsigned>(attributes.width - 5),
                       static_cast<unsigned>(attributes.height - 5));
    }
    const std::string label = button.button.label;
    const int x = (attributes.width - text_width(box, label)) / 2;
    const int y = (attributes.height + box.font->ascent - box.font->descent) / 2;
    XDrawString(box.display, button.window, box.gc, x, y, label.data(),
                static_cast<int>(label.size()));
}

bool open_box(OpenBox& box, const char* caption, const char* text, BoxKind kind) {
    box.display = XOpenDisplay(nullptr);
    if (box.display == nullptr) return false;
    Display* display = box.display;
    const int screen = DefaultScreen(display);
    box.font = XLoadQueryFont(display, "fixed");
    box.own_font = box.font != nullptr;
    if (box.font == nullptr) box.font = XQueryFont(display, XGContextFromGC(DefaultGC(display, screen)));
    if (box.font == nullptr) {
        XCloseDisplay(display);
        return false;
    }
    box.caption = caption;
    box.lines = split_lines(text);
    box.line_height = box.font->ascent + box.font->descent + 2;

    int content_width = text_width(box, box.caption);
    for (const std::string& line : box.lines) content_width = std::max(content_width, text_width(box, line));
    const std::vector<BoxButton> buttons = box_buttons(kind);
    const int buttons_width = static_cast<int>(buttons.size()) * button_width_px +
                              (static_cast<int>(buttons.size()) - 1) * button_gap_px;
    box.width = std::max({content_width, buttons_width, 200}) + 2 * margin_px;
    const int text_bottom = margin_px + box.line_height * (2 + static_cast<int>(box.lines.size()));
    const int button_height = box.line_height + 12;
    const int height = text_bottom + margin_px + button_height + margin_px;

    const unsigned long black = BlackPixel(display, screen);
    const unsigned long white = WhitePixel(display, screen);
    const int x = std::max(0, (DisplayWidth(display, screen) - box.width) / 2);
    const int y = std::max(0, (DisplayHeight(display, screen) - height) / 2);
    box.window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y,
                                     static_cast<unsigned>(box.width), static_cast<unsigned>(height),
                                     1, black, white);
    // Input first: whoever finds the box by its title may send it keys at once, and the title's
    // atom look-ups below already make it visible to them.
    XSelectInput(display, box.window, ExposureMask | KeyPressMask);
    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, box.window, &delete_window, 1);
    set_title(display, box.window, box.caption);
    XSizeHints* hints = XAllocSizeHints();
    if (hints != nullptr) {
        hints->flags = PPosition | PMinSize | PMaxSize;
        hints->x = x;
        hints->y = y;
        hints->min_width = hints->max_width = box.width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display, box.window, hints);
        XFree(hints);
    }
    const long pid = static_cast<long>(getpid());  // lets tools find the box of a process
    XChangeProperty(display, box.window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    set_atom_list(display, box.window, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_DIALOG"});
    set_atom_list(display, box.window, "_NET_WM_STATE", {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_MODAL"});

    int button_x = (box.width - buttons_width) / 2;
    const int button_y = text_bottom + margin_px;
    for (const BoxButton& button : buttons) {
        ButtonWindow child;
        child.button = button;
        child.window = XCreateSimpleWindow(display, box.window, button_x, button_y,
                                           button_width_px, static_cast<unsigned>(button_height), 0,
                                           black, white);
        XSelectInput(display, child.window, ExposureMask | ButtonPressMask | ButtonReleaseMask |
                                                KeyPressMask);
        XStoreName(display, child.window, button.label);
        box.buttons.push_back(child);
        button_x += button_width_px + button_gap_px;
    }

    XGCValues values{};
    values.foreground = black;
    values.background = white;
    values.font = box.font->fid;
    box.gc = XCreateGC(display, box.window, GCForeground | GCBackground | GCFont, &values);
    XMapSubwindows(display, box.window);
    XMapRaised(display, box.window);
    return true;
}

void close_box(OpenBox& box) {
    if (box.gc != nullptr) XFreeGC(box.display, box.gc);
    if (box.font != nullptr) {
        if (box.own_font) {
            XFreeFont(box.display, box.font);
        } else {
            // The count says how many structures to free per_char and properties of.
            XFreeFontInfo(nullptr, box.font, 1);
        }
    }
    if (box.window != 0) XDestroyWindow(box.display, box.window);
    XCloseDisplay(box.display);
}

bool viewable(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

BoxAnswer run_box(OpenBox& box, BoxKind kind) {
    Display* display = box.display;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Window pressed = 0;
    bool focused = false;
    for (;;) {
        XEvent event{};
        XNextEvent(display, &event);
        switch (event.type) {
        case Expose:
            if (event.xexpose.count != 0) break;
            if (event.xexpose.window == box.window) {
                // The focus goes to a viewable window only, or the server answers with an error
                // that ends the process. A window manager that frames the box maps it before its
                // frame, so the box's own map event comes too early; exposure comes after both.
                if (!focused && viewable(display, box.window)) {
                    XSetInputFocus(display, box.window, RevertToParent, CurrentTime);
                    focused = true;
                }
                draw_box(box);
            } else {
                for (size_t i = 0; i < box.buttons.size(); ++i) {
                    if (box.buttons[i].window == event.xexpose.window) draw_button(box, box.buttons[i], i == 0);
                }
            }
            break;
        case KeyPress: {
            KeySym symbol = NoSymbol;
            char ignored[8];
            XLookupString(&event.xkey, ignored, sizeof ignored, &symbol, nullptr);
            const BoxAnswer answer = answer_for_key(symbol, kind);
            if (answer != BoxAnswer::failed) return answer;
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == Button1) pressed = event.xbutton.window;
            break;
        case ButtonRelease:
            // A click counts when pressed and released over the same button.
            if (event.xbutton.button == Button1 && event.xbutton.window == pressed) {
                for (const ButtonWindow& button : box.buttons) {
                    const bool inside = event.xbutton.x >= 0 && event.xbutton.y >= 0 &&
                                        event.xbutton.x < button_width_px &&
                                        event.xbutton.y < box.line_height + 12;
                    if (button.window == pressed && inside) return button.button.answer;
                }
            }
            pressed = 0;
            break;
        case ClientMessage:
            if (event.xclient.message_type == protocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == delete_window) {
                return answer_for_close(kind);
            }
            break;
        default:
            break;
        }
    }
}

}  // namespace

BoxAnswer show_message_box(const char* caption, const char* text, BoxKind kind) {
    OpenBox box;
    if (!open_box(box, caption, text, kind)) {
        std::fprintf(stderr, "%s\n%s\n", caption, text);
        return BoxAnswer::failed;
    }
    const BoxAnswer answer = run_box(box, kind);
    close_box(box);
    return answer;
}

}  // namespace platform
