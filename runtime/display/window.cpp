#include "runtime/display/window.h"

#include "runtime/display/frames.h"
#include "runtime/display/presentation.h"

namespace {

// Everything the window thread knows about the window and the frame it shows.
struct WindowState {
    int32_t window_width = 640, window_height = 400;
    int32_t previous_window_width = 640, previous_window_height = 400;
    int32_t frame_width = 640, frame_height = 400;
    int32_t previous_frame_width = 640, previous_frame_height = 400;
    bool reshape_pending = false;
    // The first reshape report has not come yet: a full-screen request waits for it.
    bool reshape_requested = true;
    FullscreenSettings fullscreen;
    double display_rate = 60.0;
    bool presenting = false;
    int32_t texture_uploads = 0;
    int32_t presentations = 0;
    int32_t swaps = 0;
    bool framebuffer_objects = false;
};

WindowState& window_state() {
    static WindowState state;
    return state;
}

}  // namespace

void cycle_fullscreen() {
    WindowState& state = window_state();
    state.fullscreen = cycle_fullscreen_settings(state.fullscreen);
    // The picture changes size or filtering: the next frame may not build on the previous one.
    invalidate_frame_comparison();
}

WindowReport window_report() {
    const WindowState& state = window_state();
    WindowReport report;
    report.window_width = state.window_width;
    report.window_height = state.window_height;
    report.frame_width = state.frame_width;
    report.frame_height = state.frame_height;
    report.fullscreen_mode = state.fullscreen.mode;
    report.fullscreen_request = state.fullscreen.request;
    report.fullscreen_smooth = state.fullscreen.smooth;
    report.texture_uploads = state.texture_uploads;
    report.presentations = state.presentations;
    report.swaps = state.swaps;
    report.framebuffer_objects = state.framebuffer_objects;
    return report;
}

void reset_window_state() { window_state().fullscreen = FullscreenSettings{}; }
