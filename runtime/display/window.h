// The window: one freeglut window with an OpenGL context, owned by the window thread. It shows
// the newest display frame scaled into the window, keeps a windowed frame at its own size,
// switches between the windowed and four full-screen presentations, and passes key events on to
// the key intake, each as the key the X event names (freeglut's character alone cannot tell
// Return from Ctrl+M, and it says nothing of Pause, Break or the Shift+Tab press). Everything
// here runs on the window thread inside freeglut callbacks.
#pragma once

#include <cstdint>

// Start-up steps 17-20: window system, display-mode check (exit status 1 when impossible), the
// window "Untitled", the extension loader, the callbacks and the event loop. Never returns: if
// the event loop ever gives control back, the thread sleeps until the housekeeping thread's
// shutdown ends the process. A close request from the window manager only calls request_close;
// the window stays open.
[[noreturn]] void open_window_and_run(int argc, char** argv);

// Steps 17-20 without the event loop: the window exists and its callbacks are registered.
// Window tests drive the loop themselves with glutMainLoopEvent.
void open_window(int argc, char** argv);

// Alt+Enter (from the key intake): the next full-screen variant, taken up by the next
// presentation, and a full redraw at the next builder pass.
void cycle_fullscreen();

// The freeglut callbacks of the display, callable directly by window tests.
void tick_redisplay(int value);
void note_window_size(int width, int height);
void present_frame();

// What the window layer knows, for tests.
struct WindowReport {
    int32_t window_width = 0, window_height = 0;
    int32_t frame_width = 0, frame_height = 0;
    int32_t fullscreen_mode = 0;
    int32_t fullscreen_request = -1;
    int32_t fullscreen_smooth = 0;
    int32_t texture_uploads = 0;   // frame textures uploaded so far
    int32_t presentations = 0;     // passes that drew
    int32_t swaps = 0;             // passes that swapped the buffers
    bool framebuffer_objects = false;  // GL_EXT_framebuffer_object accepted
};
WindowReport window_report();

// Puts the full-screen state back to windowed (tests of cycle_fullscreen without a window).
void reset_window_state();
