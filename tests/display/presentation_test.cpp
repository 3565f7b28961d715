// Where the frame goes in the window and when the window changes, without GL: the viewport, the
// frame-to-window rounding, the letterbox bands, the snap-back decision and the Alt+Enter cycle.
#include "runtime/display/presentation.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/display/window.h"

namespace {

constexpr int32_t frame_w = 640, frame_h = 400;

struct ViewportCase {
    const char* name;
    int32_t window_w, window_h, mode, smooth;
    int32_t x0, y0, x1, y1, bars, expected_smooth;
};

TEST(PresentationViewport, PlacesTheFrameByModeAndWindowSize) {
    const ViewportCase cases[] = {
        {"16:9 aspect kept", 1920, 1080, 2, 0, 96, 0, 1823, 1079, 1, 0},
        {"16:9 aspect kept smoothed", 1920, 1080, 2, 1, 96, 0, 1823, 1079, 1, 1},
        {"16:9 stretched", 1920, 1080, 1, 0, 0, 0, 1919, 1079, 0, 0},
        {"5:4 aspect kept: bands top and bottom", 1280, 1024, 2, 0, 0, 112, 1279, 911, 2, 0},
        {"same aspect needs no bands", 1280, 800, 2, 0, 0, 0, 1279, 799, 0, 0},
        {"a resized window shows the frame 1:1 at its top-left", 900, 700, 0, 1, 0, 0, 639, 399,
         0, 0},
        {"full screen of the frame's own size is 1:1, never smoothed", 640, 400, 1, 1, 0, 0, 639,
         399, 0, 0},
    };
    for (const ViewportCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Viewport v = compute_viewport(frame_w, frame_h, c.window_w, c.window_h, c.mode,
                                            c.smooth);
        EXPECT_EQ(v.x0, c.x0);
        EXPECT_EQ(v.y0, c.y0);
        EXPECT_EQ(v.x1, c.x1);
        EXPECT_EQ(v.y1, c.y1);
        EXPECT_EQ(v.bars, c.bars);
        EXPECT_EQ(v.smooth, c.expected_smooth);
        EXPECT_FLOAT_EQ(v.scale_x, static_cast<float>(c.x1 - c.x0 + 1) / frame_w);
        EXPECT_FLOAT_EQ(v.scale_y, static_cast<float>(c.y1 - c.y0 + 1) / frame_h);
        // The whole frame lands exactly on the viewport.
        const PixelRect whole = frame_rect_to_window(v, 0, 0, frame_w - 1, frame_h - 1);
        EXPECT_EQ(whole.left, v.x0);
        EXPECT_EQ(whole.top, v.y0);
        EXPECT_EQ(whole.right, v.x1);
        EXPECT_EQ(whole.bottom, v.y1);
    }
}

TEST(PresentationViewport, RoundsCornersToNearestEvenAndSizesUp) {
    // 960 x 600 stretched: scale 1.5, so corners at .5 show the ties-to-even rule.
    const Viewport v = compute_viewport(frame_w, frame_h, 960, 600, 1, 0);
    ASSERT_FLOAT_EQ(v.scale_x, 1.5f);
    const PixelRect one = frame_rect_to_window(v, 1, 1, 1, 1);  // 1.5 -> 2
    EXPECT_EQ(one.left, 2);
    EXPECT_EQ(one.top, 2);
    EXPECT_EQ(one.right, 3);  // width 1.5 + 0.99 -> 2
    const PixelRect three = frame_rect_to_window(v, 3, 0, 3, 0);  // 4.5 -> 4
    EXPECT_EQ(three.left, 4);
    EXPECT_EQ(three.right, 5);
    // A reversed rectangle starts at its first corner and has the same size.
    const PixelRect reversed = frame_rect_to_window(v, 3, 0, 1, 0);
    EXPECT_EQ(reversed.left, 4);
    EXPECT_EQ(reversed.right, 8);  // width int(3 x 1.5 + 0.99) = 5

    // Aspect kept on 1920 x 1080: scale 2.7 from x = 96; the second cell column starts at
    // 8 x 2.7 = 21.6 -> 22 and is 22 pixels wide.
    const Viewport wide = compute_viewport(frame_w, frame_h, 1920, 1080, 2, 0);
    const PixelRect cell = frame_rect_to_window(wide, 8, 16, 15, 31);
    EXPECT_EQ(cell.left, 96 + 22);
    EXPECT_EQ(cell.right, 96 + 22 + 22 - 1);
    EXPECT_EQ(cell.top, 43);  // 16 x 2.7 = 43.2
    EXPECT_EQ(cell.bottom, 43 + 44 - 1);
}

TEST(PresentationBands, CoverTheWindowOutsideAnAspectKeptFrame) {
    const Viewport v = compute_viewport(frame_w, frame_h, 1920, 1080, 2, 0);
    const LetterboxBands bands = letterbox_bands(v, frame_w, frame_h, 1920, 1080);
    EXPECT_EQ(bands.first.left, -36);
    EXPECT_EQ(bands.first.right, -1);
    EXPECT_EQ(bands.second.left, frame_w);
    EXPECT_EQ(bands.second.right, 676);
    const PixelRect left = frame_rect_to_window(v, bands.first.left, 0, bands.first.right, 399);
    const PixelRect right =
        frame_rect_to_window(v, bands.second.left, 0, bands.second.right, 399);
    EXPECT_LE(left.left, 0);
    // The left band reaches one column into the frame (96): bands are painted before the frame.
    EXPECT_EQ(left.right, 96);
    EXPECT_EQ(right.left, 1824);
    EXPECT_GE(right.right, 1919);
    EXPECT_EQ(left.top, 0);
    EXPECT_EQ(left.bottom, 1079);

    const Viewport tall = compute_viewport(frame_w, frame_h, 1280, 1024, 2, 0);
    const LetterboxBands rows = letterbox_bands(tall, frame_w, frame_h, 1280, 1024);
    const PixelRect top = frame_rect_to_window(tall, 0, rows.first.top, 639, rows.first.bottom);
    const PixelRect bottom =
        frame_rect_to_window(tall, 0, rows.second.top, 639, rows.second.bottom);
    EXPECT_LE(top.top, 0);
    EXPECT_GE(top.bottom, 111);
    EXPECT_EQ(bottom.top, 912);
    EXPECT_GE(bottom.bottom, 1023);

    const LetterboxBands none = letterbox_bands(compute_viewport(frame_w, frame_h, 1920, 1080, 1, 0),
                                                frame_w, frame_h, 1920, 1080);
    EXPECT_GT(none.first.left, none.first.right);
    EXPECT_GT(none.second.left, none.second.right);
}

TEST(PresentationBands, AWindowWithNoAreaGetsAnEmptyViewportAndNoBands) {
    // Mid-reshape sizes: aspect kept with no width used to give scale 0 and infinite band edges.
    const int32_t sizes[][2] = {{0, 400}, {640, 0}, {0, 0}, {-1, 1080}, {1920, -5}};
    for (const int32_t mode : {0, 1, 2}) {
        for (const auto& size : sizes) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " " << size[0] << "x" << size[1]);
            const Viewport v = compute_viewport(frame_w, frame_h, size[0], size[1], mode, 1);
            EXPECT_TRUE(viewport_is_empty(v));
            EXPECT_EQ(v.bars, 0);
            const LetterboxBands bands = letterbox_bands(v, frame_w, frame_h, size[0], size[1]);
            EXPECT_GT(bands.first.left, bands.first.right);
            EXPECT_GT(bands.second.left, bands.second.right);
        }
    }
    // An aspect-kept viewport whose window then shrank to nothing: still no bands.
    const Viewport wide = compute_viewport(frame_w, frame_h, 1920, 1080, 2, 0);
    const LetterboxBands stale = letterbox_bands(wide, frame_w, frame_h, 0, 1080);
    EXPECT_GT(stale.first.left, stale.first.right);
    EXPECT_GT(stale.second.left, stale.second.right);
    EXPECT_FALSE(viewport_is_empty(wide));
}

TEST(PresentationWindowSize, SnapsBackOnlyAWindowedFrameOfAnotherSize) {
    struct Case {
        int32_t mode, request, w, h;
        bool snap;
    };
    const Case cases[] = {
        {0, -1, 900, 700, true},  {0, -1, 640, 401, true}, {0, -1, 640, 400, false},
        {1, -1, 1920, 1080, false}, {2, -1, 1920, 1080, false},
        {0, 1, 900, 700, false},  // about to go full screen
        {1, 0, 1920, 1080, false},  // leaving full screen asks for the size itself
    };
    for (const Case& c : cases) {
        EXPECT_EQ(window_needs_snap_back(c.mode, c.request, c.w, c.h, frame_w, frame_h), c.snap)
            << "mode " << c.mode << " request " << c.request << " " << c.w << "x" << c.h;
    }
}

struct CycleStep {
    int32_t mode, request, smooth;
    FullscreenAction action;
};

TEST(PresentationFullscreen, FivePressesFromAWindowPassTheFourVariantsAndReturn) {
    // Each press followed by a presentation that takes the request up.
    const CycleStep expected[] = {
        {1, -1, 0, FullscreenAction::enter_fullscreen},  // stretched
        {1, -1, 1, FullscreenAction::none},              // stretched, smoothed
        {2, -1, 0, FullscreenAction::none},              // aspect kept: no freeglut call
        {2, -1, 1, FullscreenAction::none},              // aspect kept, smoothed
        {0, -1, 1, FullscreenAction::leave_fullscreen},  // window
        {1, -1, 0, FullscreenAction::enter_fullscreen},  // and round again
    };
    FullscreenSettings settings;
    int press = 0;
    for (const CycleStep& step : expected) {
        SCOPED_TRACE(++press);
        settings = cycle_fullscreen_settings(settings);
        EXPECT_EQ(take_fullscreen_request(settings), step.action);
        EXPECT_EQ(settings.mode, step.mode);
        EXPECT_EQ(settings.request, step.request);
        EXPECT_EQ(settings.smooth, step.smooth);
    }
}

TEST(PresentationFullscreen, PressesFasterThanPresentationsEndWhereTheyShould) {
    // Until a presentation takes the request, presses build on the request, not the mode.
    FullscreenSettings settings;
    settings = cycle_fullscreen_settings(settings);
    settings = cycle_fullscreen_settings(settings);
    EXPECT_EQ(settings.request, 1);
    EXPECT_EQ(settings.smooth, 1);
    settings = cycle_fullscreen_settings(settings);
    EXPECT_EQ(settings.request, 2);
    EXPECT_EQ(settings.smooth, 0);

    // Five quick presses from any state of the round come back to it with nothing left to do;
    // a stale request would carry out an earlier press instead. (A window keeps the smoothing of
    // the last full screen, so the round's window state is smooth 1.)
    const FullscreenSettings starts[] = {{0, -1, 1}, {1, -1, 0}, {1, -1, 1}, {2, -1, 0},
                                         {2, -1, 1}};
    for (const FullscreenSettings& start : starts) {
        FullscreenSettings s = start;
        for (int i = 0; i < 5; ++i) s = cycle_fullscreen_settings(s);
        EXPECT_EQ(s.mode, start.mode) << "from mode " << start.mode << " smooth " << start.smooth;
        EXPECT_EQ(s.request, -1) << "from mode " << start.mode << " smooth " << start.smooth;
        EXPECT_EQ(s.smooth, start.smooth) << "from mode " << start.mode;
    }
}

TEST(PresentationFullscreen, WindowCycleKeepsItsStateBetweenPresses) {
    reset_window_state();
    for (int i = 0; i < 3; ++i) cycle_fullscreen();
    WindowReport report = window_report();
    EXPECT_EQ(report.fullscreen_mode, 0);  // nothing presented yet
    EXPECT_EQ(report.fullscreen_request, 2);
    EXPECT_EQ(report.fullscreen_smooth, 0);
    reset_window_state();
    report = window_report();
    EXPECT_EQ(report.fullscreen_request, -1);
    EXPECT_EQ(report.fullscreen_mode, 0);
}

TEST(PresentationCadence, RedisplayIntervalAndWhenAPassDraws) {
    EXPECT_EQ(redisplay_interval_ms(60.0), 12);  // 16 - 4
    EXPECT_EQ(redisplay_interval_ms(30.0), 29);
    EXPECT_EQ(redisplay_interval_ms(250.0), 1);
    EXPECT_EQ(redisplay_interval_ms(1000.0), 1);  // never 0 or less

    EXPECT_FALSE(presentation_needed(7, 7, false, false, false));
    EXPECT_TRUE(presentation_needed(8, 7, false, false, false));
    EXPECT_TRUE(presentation_needed(7, 7, true, false, false));
    EXPECT_TRUE(presentation_needed(7, 7, false, true, false));
    EXPECT_TRUE(presentation_needed(7, 7, false, false, true));
}

TEST(PresentationUpload, PaddingRepeatsTheLastColumnAndRowOnce) {
    EXPECT_EQ(next_power_of_two(640), 1024);
    EXPECT_EQ(next_power_of_two(400), 512);
    EXPECT_EQ(next_power_of_two(512), 512);
    EXPECT_EQ(next_power_of_two(1), 1);

    const std::vector<uint32_t> frame = {1, 2, 3,  //
                                         4, 5, 6};
    constexpr uint32_t untouched = 0xDEADBEEFu;
    std::vector<uint32_t> padded(4 * 4, untouched);
    pad_frame_pixels(frame.data(), 3, 2, padded.data(), 4, 4);
    const std::vector<uint32_t> expected = {1, 2, 3, 3,  //
                                            4, 5, 6, 6,  //
                                            4, 5, 6, 6,  //
                                            untouched, untouched, untouched, untouched};
    EXPECT_EQ(padded, expected);

    // A width that already is a power of two gets no extra column.
    std::vector<uint32_t> rows_only(2 * 4, untouched);
    const std::vector<uint32_t> two_wide = {1, 2, 3, 4, 5, 6};
    pad_frame_pixels(two_wide.data(), 2, 3, rows_only.data(), 2, 4);
    EXPECT_EQ(rows_only, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 5, 6}));
}

}  // namespace
