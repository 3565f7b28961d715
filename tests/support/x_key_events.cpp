#include "tests/support/x_key_events.h"

void send_key_press(Display* display, Window window, KeySym key) {
    XEvent event{};
    event.xkey.type = KeyPress;
    event.xkey.display = display;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.same_screen = True;
    event.xkey.keycode = XKeysymToKeycode(display, key);
    XSendEvent(display, window, True, KeyPressMask, &event);
    XFlush(display);
}
