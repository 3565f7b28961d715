// Display frames: the visible text page turned into 32-bit pixel snapshots, handed from the
// builder to the presenter through three slots without a lock.
//
// Pipeline: visible page (cells, palette, cursor) -> build_frame (redraws only the cells that
// changed since the previous frame) -> a `ready` slot -> take_frame_for_display on the window
// thread (`on_screen`) -> texture -> window.
//
// Frames are built by the housekeeping thread while automatic display is on, or by the program
// thread inside display_now while it is off; never both at once (the -1 hand-over of
// auto_display decides who). The slot table the builder and the presenter share is in
// private/frame_exchange.h.
#pragma once

#include <cstdint>

struct Image;

// Puts the slot table, the counters and the builder's comparison state back to their start-up
// values (freeing the pixel buffers), and fills the text screen's frame-builder hooks.
void reset_frame_slots();

// One builder pass: claims a slot, redraws the cells that changed since the previous frame (all
// of them when comparison is not possible) and marks it ready, or gives the slot back when
// nothing changed. Either way latest_frame_serial advances.
void build_frame();

// Explicit display: builds a frame of the page as it is now and leaves automatic display off.
// With automatic display on it hands over through -1 and waits (1 ms sleeps) for the
// housekeeping thread's next pass.
void display_now();
// Automatic display on again; the next housekeeping pass builds.
void set_auto_display();
int32_t auto_display_state();

// The handshake around screen-shape changes (only while automatic display is on and the
// runtime's threads have started): hold the builder off until it acknowledges, then let it go.
void pause_frame_building();
void resume_frame_building();

// The next pass may not start from the previous frame (screen shape changes, full-screen
// changes): it redraws every cell. Callable from any thread; one made while a pass runs also
// holds for the pass after it.
void invalidate_frame_comparison();

// The housekeeping thread's odd-cycle step: a pass while automatic display is on, then one
// blink tick whether or not a frame was built.
void housekeeping_frame_step();

// The presenter's choice: the newest ready frame newer than the one on screen, else the one on
// screen; older frames are freed. slot is -1 when there is nothing to present.
struct FrameChoice {
    int32_t slot = -1;
    bool is_new = false;  // the chosen slot was not on screen before this call
};
FrameChoice take_frame_for_display();

// The frame builder reads the visible page through this function; tests put in their own page.
// nullptr restores the text screen's visible_image.
using VisiblePageSource = Image* (*)();
void set_visible_page_source(VisiblePageSource source);
