// The presenter's decisions, kept apart from GL and freeglut so they can be checked without a
// window: where the frame goes in the window (viewport, letterbox bands, pixel rounding), when
// the window is brought back to the frame's size, the Alt+Enter full-screen cycle and the
// redisplay cadence.
#pragma once

#include <cstdint>

// The window rectangle a frame is drawn into (inclusive, origin top-left) and its scale.
struct Viewport {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float scale_x = 1.0f;  // viewport width / frame width
    float scale_y = 1.0f;
    int32_t smooth = 0;    // 1: linear texture filtering
    int32_t bars = 0;      // 0 none, 1 bands left and right, 2 bands top and bottom
};

// fullscreen_mode: 0 windowed, 1 stretched, 2 aspect kept. Scaling and smoothing apply in full
// screen only; a window of another size shows the frame 1:1 at its top-left corner. A window
// with no width or no height gets an empty viewport (scale 0), and nothing is drawn.
Viewport compute_viewport(int32_t frame_width, int32_t frame_height, int32_t window_width,
                          int32_t window_height, int32_t fullscreen_mode,
                          int32_t fullscreen_smooth);
bool viewport_is_empty(const Viewport& viewport);

// A rectangle of pixels, inclusive: in frame pixels or window pixels as the name says.
struct PixelRect {
    int32_t left = 0, top = 0, right = -1, bottom = -1;
};

// Frame pixels (a0, b0)-(a1, b1) to window pixels: corners rounded to nearest (ties to even),
// sizes rounded up from 0.01, so the whole frame lands exactly on the viewport.
PixelRect frame_rect_to_window(const Viewport& viewport, int32_t a0, int32_t b0, int32_t a1,
                               int32_t b1);

// The two black bands outside an aspect-kept viewport, in frame coordinates (they reach past
// the frame's edges). Both empty when the viewport has no bars or no area.
struct LetterboxBands {
    PixelRect first;   // left or top
    PixelRect second;  // right or bottom
};
LetterboxBands letterbox_bands(const Viewport& viewport, int32_t frame_width,
                               int32_t frame_height, int32_t window_width,
                               int32_t window_height);

// True when a windowed presentation must ask for the frame's size again.
bool window_needs_snap_back(int32_t fullscreen_mode, int32_t fullscreen_request,
                            int32_t window_width, int32_t window_height, int32_t frame_width,
                            int32_t frame_height);

struct FullscreenSettings {
    int32_t mode = 0;      // fullscreen_mode in force
    int32_t request = -1;  // -1 none, else the mode wanted at the next presentation
    int32_t smooth = 0;
};

// One Alt+Enter: stretched -> stretched smoothed -> aspect kept -> aspect kept smoothed ->
// window -> stretched ...
FullscreenSettings cycle_fullscreen_settings(FullscreenSettings settings);

// What the presentation does with a pending request (when no reshape is outstanding).
enum class FullscreenAction { none, leave_fullscreen, enter_fullscreen };
FullscreenAction take_fullscreen_request(FullscreenSettings& settings);

// The smallest power of two at least `size` (a power of two stays as it is).
int32_t next_power_of_two(int32_t size);

// The upload fallback for a frame the GL refuses at its own size: the frame's rows copied into a
// padded_width x padded_height buffer (each at least the frame's size), each row's last pixel
// repeated in the first extra column and the last row (with that column) in the first extra row,
// so filtering at the frame's edges sees the frame and not stale pixels. The other extra pixels
// are left as they are.
void pad_frame_pixels(const uint32_t* pixels, int32_t width, int32_t height, uint32_t* padded,
                      int32_t padded_width, int32_t padded_height);

// The timer interval after tick_redisplay's 4 ms sleep: 1000 / rate - 4, at least 1.
int32_t redisplay_interval_ms(double display_rate);

// Whether a presentation pass draws (and swaps) at all.
bool presentation_needed(int64_t latest_frame_serial, int64_t presented_frame_serial,
                         bool new_frame_chosen, bool fullscreen_change_pending,
                         bool reshape_pending);
