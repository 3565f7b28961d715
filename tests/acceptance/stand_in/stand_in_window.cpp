// A stand-in for the game's window, for testing the screen reader and the window driver on their
// own: a plain X window titled "Untitled", 640x400, showing a known text page drawn with the
// same glyphs and colours. It echoes typed characters, names the last key, snaps back to its
// size when resized, and ends with status 3 when asked to close (so that a test sees the real
// status, not a default).
//
//   acceptance_stand_in [--broken-cell]
//   --broken-cell: one pixel of the cell at row 5, column 40 gets a colour no text colour has.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/acceptance/screen_reader.h"
#include "tests/acceptance/stand_in/stand_in_page.h"

using namespace acceptance;

namespace {

void render(const StandInPage& page, bool broken_cell, std::vector<uint32_t>& pixels) {
    const GlyphTable& glyphs = reference_glyphs();
    const auto& colours = reference_colours();
    for (int row = 0; row < screen_rows; ++row) {
        for (int column = 0; column < screen_columns; ++column) {
            const PageCell& cell = page[static_cast<size_t>(row * screen_columns + column)];
            const GlyphRows& glyph = glyphs[cell.character];
            for (int y = 0; y < cell_height; ++y) {
                for (int x = 0; x < cell_width; ++x) {
                    const bool lit = glyph[static_cast<size_t>(y)] & (0x80u >> x);
                    pixels[static_cast<size_t>((row * cell_height + y) * frame_width +
                                               column * cell_width + x)] =
                        colours[lit ? cell.foreground : cell.background];
                }
            }
        }
    }
    if (broken_cell) pixels[static_cast<size_t>((4 * cell_height + 7) * frame_width + 39 * 8 + 3)] = 0x123456;
}

}  // namespace

int main(int argc, char** argv) {
    const bool broken_cell = argc > 1 && std::strcmp(argv[1], "--broken-cell") == 0;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 2;
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                              frame_width, frame_height, 0, 0, 0);
    XStoreName(display, window, "Untitled");
    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &delete_window, 1);
    XSelectInput(display, window, ExposureMask | KeyPressMask | StructureNotifyMask);
    XMapWindow(display, window);

    std::vector<uint32_t> pixels(static_cast<size_t>(frame_width * frame_height));
    XImage* image = XCreateImage(display, DefaultVisual(display, screen), 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(pixels.data()), frame_width,
                                 frame_height, 32, 0);
    const GC gc = DefaultGC(display, screen);
    std::string typed;
    std::string last_key = "NO KEY YET";
    const auto draw = [&] {
        render(stand_in_page(typed, last_key), broken_cell, pixels);
        XPutImage(display, window, gc, image, 0, 0, 0, 0, frame_width, frame_height);
        XFlush(display);
    };

    while (true) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case Expose:
            draw();
            break;
        case ConfigureNotify:
            if (event.xconfigure.width != frame_width || event.xconfigure.height != frame_height) {
                XResizeWindow(display, window, frame_width, frame_height);
            }
            break;
        case KeyPress: {
            char text[8] = {};
            KeySym keysym = NoSymbol;
            const int length = XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
            if (keysym == XK_BackSpace) {
                if (!typed.empty()) typed.pop_back();
            } else if (length == 1 && text[0] >= 32 && text[0] < 127) {
                typed += text[0];
            }
            const char* name = XKeysymToString(keysym);
            last_key = name != nullptr ? name : "?";
            if (event.xkey.state & Mod1Mask) last_key = "Alt+" + last_key;
            draw();
            break;
        }
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == delete_window) {
                XCloseDisplay(display);
                return 3;
            }
            break;
        default:
            break;
        }
    }
}
