// A key press sent straight to one window. A key typed through the X test extension goes to
// whichever window has the focus, which on a display shared by several tests may be another
// test's message box; an event sent to the window itself cannot go astray.
#pragma once

#include <X11/Xlib.h>

// Sends the press and flushes it.
void send_key_press(Display* display, Window window, KeySym key);
