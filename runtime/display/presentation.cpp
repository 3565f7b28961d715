#include "runtime/display/presentation.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

Viewport compute_viewport(int32_t frame_width, int32_t frame_height, int32_t window_width,
                          int32_t window_height, int32_t fullscreen_mode,
                          int32_t fullscreen_smooth) {
    // A reshape can pass through a window with no area: there is nothing to draw into.
    if (window_width <= 0 || window_height <= 0) return Viewport{0, 0, -1, -1, 0.0f, 0.0f, 0, 0};
    const bool scale = fullscreen_mode >= 1;
    const bool keep_aspect = fullscreen_mode == 2;
    Viewport viewport;
    viewport.smooth = scale ? fullscreen_smooth : 0;
    if (frame_width == window_width && frame_height == window_height) {
        viewport = Viewport{0, 0, frame_width - 1, frame_height - 1, 1.0f, 1.0f, 0, 0};
        return viewport;
    }
    const float window_aspect = static_cast<float>(window_width) / static_cast<float>(window_height);
    const float frame_aspect = static_cast<float>(frame_width) / static_cast<float>(frame_height);
    if (!scale) {
        viewport.x0 = 0;
        viewport.y0 = 0;
        viewport.x1 = frame_width - 1;
        viewport.y1 = frame_height - 1;
    } else if (keep_aspect && window_aspect != frame_aspect) {
        if (window_aspect > frame_aspect) {
            const int32_t content =
                static_cast<int32_t>(static_cast<float>(window_height) * frame_aspect);
            viewport.x0 = window_width / 2 - content / 2;
            viewport.x1 = viewport.x0 + content - 1;
            viewport.y0 = 0;
            viewport.y1 = window_height - 1;
            viewport.bars = 1;
        } else {
            const int32_t content =
                static_cast<int32_t>(static_cast<float>(window_width) / frame_aspect);
            viewport.y0 = window_height / 2 - content / 2;
            viewport.y1 = viewport.y0 + content - 1;
            viewport.x0 = 0;
            viewport.x1 = window_width - 1;
            viewport.bars = 2;
        }
    } else {
        viewport.x0 = 0;
        viewport.y0 = 0;
        viewport.x1 = window_width - 1;
        viewport.y1 = window_height - 1;
    }
    viewport.scale_x =
        static_cast<float>(viewport.x1 - viewport.x0 + 1) / static_cast<float>(frame_width);
    viewport.scale_y =
        static_cast<float>(viewport.y1 - viewport.y0 + 1) / static_cast<float>(frame_height);
    return viewport;
}

bool viewport_is_empty(const Viewport& viewport) {
    return viewport.x1 < viewport.x0 || viewport.y1 < viewport.y0;
}

PixelRect frame_rect_to_window(const Viewport& viewport, int32_t a0, int32_t b0, int32_t a1,
                               int32_t b1) {
    // nearbyint rounds halves to even in the default rounding mode.
    const int32_t left =
        static_cast<int32_t>(std::nearbyint(static_cast<float>(a0) * viewport.scale_x)) +
        viewport.x0;
    const int32_t top =
        static_cast<int32_t>(std::nearbyint(static_cast<float>(b0) * viewport.scale_y)) +
        viewport.y0;
    const int32_t width = static_cast<int32_t>(
        static_cast<float>(std::abs(a1 - a0) + 1) * viewport.scale_x + 0.99f);
    const int32_t height = static_cast<int32_t>(
        static_cast<float>(std::abs(b1 - b0) + 1) * viewport.scale_y + 0.99f);
    return PixelRect{left, top, left + width - 1, top + height - 1};
}

LetterboxBands letterbox_bands(const Viewport& viewport, int32_t frame_width,
                               int32_t frame_height, int32_t window_width,
                               int32_t window_height) {
    LetterboxBands bands;
    // With no area (or no scale) there is nothing to cover, and dividing by the scale would not
    // give a number.
    if (window_width <= 0 || window_height <= 0 || viewport_is_empty(viewport)) return bands;
    if (viewport.bars == 1) {
        const int32_t first = static_cast<int32_t>(
            -static_cast<float>(viewport.x0) / viewport.scale_x - 1.0f);
        const int32_t last = static_cast<int32_t>(
            static_cast<float>(window_width - viewport.x0 - 1) / viewport.scale_x + 1.0f);
        bands.first = PixelRect{first, 0, -1, frame_height - 1};
        bands.second = PixelRect{frame_width, 0, last, frame_height - 1};
    } else if (viewport.bars == 2) {
        const int32_t first = static_cast<int32_t>(
            -static_cast<float>(viewport.y0) / viewport.scale_y - 1.0f);
        const int32_t last = static_cast<int32_t>(
            static_cast<float>(window_height - viewport.y0 - 1) / viewport.scale_y + 1.0f);
        bands.first = PixelRect{0, first, frame_width - 1, -1};
        bands.second = PixelRect{0, frame_height, frame_width - 1, last};
    }
    return bands;
}

bool window_needs_snap_back(int32_t fullscreen_mode, int32_t fullscreen_request,
                            int32_t window_width, int32_t window_height, int32_t frame_width,
                            int32_t frame_height) {
    if (fullscreen_mode != 0 || fullscreen_request != -1) return false;
    return window_width != frame_width || window_height != frame_height;
}

FullscreenSettings cycle_fullscreen_settings(FullscreenSettings settings) {
    int32_t mode = settings.request != -1 ? settings.request : settings.mode;
    int32_t smooth = settings.smooth;
    if (mode == 2 && smooth == 1) {
        mode = 0;
    } else if (smooth == 0 && mode != 0) {
        smooth = 1;
    } else {
        mode += 1;
        smooth = 0;
    }
    settings.smooth = smooth;
    // A press that comes back to the mode in force withdraws a request still pending; leaving it
    // would carry out the earlier press instead of this one.
    settings.request = mode != settings.mode ? mode : -1;
    return settings;
}

FullscreenAction take_fullscreen_request(FullscreenSettings& settings) {
    if (settings.request == -1) return FullscreenAction::none;
    FullscreenAction action = FullscreenAction::none;
    if (settings.request == 0) {
        if (settings.mode != 0) action = FullscreenAction::leave_fullscreen;
    } else if (settings.mode == 0) {
        action = FullscreenAction::enter_fullscreen;
    }
    settings.mode = settings.request;
    settings.request = -1;
    return action;
}

int32_t next_power_of_two(int32_t size) {
    int32_t power = 1;
    while (power < size) power *= 2;
    return power;
}

void pad_frame_pixels(const uint32_t* pixels, int32_t width, int32_t height, uint32_t* padded,
                      int32_t padded_width, int32_t padded_height) {
    const auto row_of = [padded, padded_width](int32_t row) {
        return padded + static_cast<size_t>(row) * static_cast<size_t>(padded_width);
    };
    for (int32_t row = 0; row < height; ++row) {
        std::memcpy(row_of(row), pixels + static_cast<size_t>(row) * static_cast<size_t>(width),
                    static_cast<size_t>(width) * sizeof(uint32_t));
        if (padded_width > width) row_of(row)[width] = row_of(row)[width - 1];
    }
    if (padded_height > height) {
        const int32_t copied = padded_width > width ? width + 1 : width;
        std::memcpy(row_of(height), row_of(height - 1),
                    static_cast<size_t>(copied) * sizeof(uint32_t));
    }
}

int32_t redisplay_interval_ms(double display_rate) {
    const int32_t interval = static_cast<int32_t>(1000.0 / display_rate) - 4;
    return interval < 1 ? 1 : interval;
}

bool presentation_needed(int64_t latest_frame_serial, int64_t presented_frame_serial,
                         bool new_frame_chosen, bool fullscreen_change_pending,
                         bool reshape_pending) {
    return latest_frame_serial != presented_frame_serial || new_frame_chosen ||
           fullscreen_change_pending || reshape_pending;
}
