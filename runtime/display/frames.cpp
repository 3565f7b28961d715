#include "runtime/display/frames.h"

#include <cstring>
#include <new>

#include "runtime/core/errors.h"
#include "runtime/core/signals.h"
#include "runtime/display/private/frame_exchange.h"
#include "runtime/display/render.h"
#include "runtime/platform/platform.h"
#include "runtime/text/frame_hooks.h"
#include "runtime/text/screen.h"

namespace {

// What the builder remembers between passes. Only the builder of the moment touches it, except
// invalidations.
struct FrameBuilderState {
    std::unique_ptr<TextCell[]> cell_copy;
    size_t cell_copy_bytes = 1;  // starts at a size no page has, so the first pass reallocates
    std::array<uint32_t, 256> palette_copy{};
    // THREADING: incremented by screen-shape changes (program thread) and full-screen changes
    // (window thread); read by the builder.
    std::atomic<int64_t> invalidations{0};
    // The invalidation count sampled at the start of the last completed pass; the next pass may
    // start from that pass's frame only while the count is unchanged. -1: no frame to start from.
    // A count rather than a flag, so an invalidation made while a pass runs is not overwritten
    // by that pass's end.
    int64_t valid_for_invalidations = -1;
    int32_t previous_blink_phase = 0;  // one phase drives blinking characters and the cursor
    int32_t previous_cursor_column = -1;
    int32_t previous_cursor_row = -1;
};

FrameExchange exchange;
FrameBuilderState builder;
// THREADING: set by tests and reset_frame_slots before any builder runs; read by the builder.
std::atomic<VisiblePageSource> page_source{visible_image};

void yield_once() { platform::sleep_ms(0); }

void acknowledge_pause_request() {
    int32_t requested = 1;
    if (exchange.frame_pause.compare_exchange_strong(requested, 2)) yield_once();
}

// The slot to build into: the highest-indexed free slot, else the oldest ready one; claimed
// with a compare-exchange so that a frame the presenter takes at the same moment is not
// overwritten. -1 when every slot is building or on screen.
int32_t claim_slot() {
    for (;;) {
        int32_t candidate = -1;
        int32_t candidate_state = 0;
        int64_t oldest_serial = 0;
        for (int32_t i = 0; i < frame_slot_count; ++i) {
            const DisplayFrame& slot = exchange.slots[i];
            if (slot.state.load() != frame_ready) continue;
            const int64_t serial = slot.serial.load();
            if (candidate < 0 || serial < oldest_serial) {
                candidate = i;
                candidate_state = frame_ready;
                oldest_serial = serial;
            }
        }
        for (int32_t i = 0; i < frame_slot_count; ++i) {
            if (exchange.slots[i].state.load() == frame_free) {
                candidate = i;
                candidate_state = frame_free;
            }
        }
        if (candidate < 0) return -1;
        DisplayFrame& slot = exchange.slots[candidate];
        if (slot.state.compare_exchange_strong(candidate_state, frame_building)) {
            slot.serial.store(exchange.next_frame_serial.fetch_add(1));
            return candidate;
        }
    }
}

// Gives a claimed slot back without a new picture; the presenter still repaints.
void abandon_slot(DisplayFrame& slot) {
    if (slot.state.load() != frame_building) return;
    exchange.latest_frame_serial.store(slot.serial.load());
    slot.state.store(frame_free);
}

// The frame the new one starts from: ready or on screen, largest serial.
const DisplayFrame* previous_frame() {
    const DisplayFrame* newest = nullptr;
    int64_t newest_serial = 0;
    for (const DisplayFrame& slot : exchange.slots) {
        const int32_t state = slot.state.load();
        if (state != frame_ready && state != frame_on_screen) continue;
        const int64_t serial = slot.serial.load();
        if (serial > newest_serial) {
            newest = &slot;
            newest_serial = serial;
        }
    }
    return newest;
}

bool reserve_pixels(DisplayFrame& slot, int32_t width, int32_t height) {
    const int64_t bytes = int64_t{width} * height * 4;
    if (slot.capacity < bytes) {
        slot.pixels.reset();
        slot.capacity = 0;
        slot.pixels.reset(new (std::nothrow) uint32_t[static_cast<size_t>(bytes / 4)]);
        if (!slot.pixels) return false;
        slot.capacity = static_cast<int32_t>(bytes);
    }
    slot.width = width;
    slot.height = height;
    return true;
}

// Steps 5-15 of a pass for a claimed slot; false when the pass is to be abandoned.
bool draw_page_into(DisplayFrame& slot) {
    const int64_t invalidations = builder.invalidations.load();
    const Image* page = page_source.load()();
    if (page == nullptr || !page->is_text || page->cells == nullptr || page->palette == nullptr) {
        return false;
    }
    const FontShape* font = font_shape(page->font);
    if (font == nullptr) return false;
    const int32_t columns = page->width;
    const int32_t rows = page->height;
    const int32_t frame_width = columns * font->cell_width;
    const int32_t frame_height = rows * font->cell_height;

    bool compare = builder.valid_for_invalidations == invalidations;
    bool changed = false;

    const size_t cell_count = static_cast<size_t>(columns) * rows;
    const size_t cell_bytes = cell_count * sizeof(TextCell);
    if (cell_bytes != builder.cell_copy_bytes) {
        builder.cell_copy.reset(new (std::nothrow) TextCell[cell_count]);
        if (!builder.cell_copy) {
            builder.cell_copy_bytes = 1;
            return false;
        }
        builder.cell_copy_bytes = cell_bytes;
        compare = false;
    }

    const size_t palette_bytes = builder.palette_copy.size() * sizeof(uint32_t);
    if (!compare) {
        std::memcpy(builder.palette_copy.data(), page->palette, palette_bytes);
    } else if (std::memcmp(builder.palette_copy.data(), page->palette, palette_bytes) != 0) {
        std::memcpy(builder.palette_copy.data(), page->palette, palette_bytes);
        compare = false;
    }

    const TextCell* cells = page->cells;
    TextCell* copy = builder.cell_copy.get();
    if (compare && std::memcmp(cells, copy, cell_bytes) != 0) changed = true;

    const int32_t blink_phase = blink_phase_of(exchange.blink_ticks.load());
    int32_t cursor_column = page->column - 1;
    int32_t cursor_row = page->row - 1;
    if (page->wrap_state == 2 && cursor_row < rows - 1) {
        cursor_row += 1;
        cursor_column = 0;
    }
    const bool cursor_moved = cursor_column != builder.previous_cursor_column ||
                              cursor_row != builder.previous_cursor_row;
    const bool blink_changed = blink_phase != builder.previous_blink_phase;
    if (!compare || blink_changed || cursor_moved) changed = true;
    if (!changed) return false;

    if (!reserve_pixels(slot, frame_width, frame_height)) {
        // cell_copy may already hold this pass's reallocation with no frame drawn from it.
        builder.valid_for_invalidations = -1;
        return false;
    }
    if (compare) {
        const DisplayFrame* previous = previous_frame();
        if (previous == nullptr) {
            show_alert("Text Screen Update: Failed to locate previous frame's data for comparison");
            compare = false;
        } else if (previous->width != frame_width || previous->height != frame_height) {
            compare = false;  // nothing to start from at this size: draw in full
        } else {
            std::memcpy(slot.pixels.get(), previous->pixels.get(),
                        static_cast<size_t>(frame_width) * frame_height * 4);
        }
    }

    const CellCanvas canvas{
        slot.pixels.get(),
        frame_width,
        font,
        builder.palette_copy.data(),
        page->cursor_visible != 0,
        cursor_lines(page->cursor_start, page->cursor_stop, font->cell_height),
    };
    const int32_t previous_column = builder.previous_cursor_column;
    const int32_t previous_row = builder.previous_cursor_row;
    for (int32_t row = 0; row < rows; ++row) {
        for (int32_t column = 0; column < columns; ++column) {
            const size_t index = static_cast<size_t>(row) * columns + column;
            // One read of the page cell: the program thread may be writing it meanwhile.
            const TextCell cell = cells[index];
            const bool is_cursor_cell = column == cursor_column && row == cursor_row;
            if (compare && cell.character == copy[index].character &&
                cell.attribute == copy[index].attribute) {
                const bool blinking = (cell.attribute & 0x80u) != 0 && blink_changed;
                const bool cursor_here = is_cursor_cell && (blink_changed || cursor_moved);
                const bool cursor_left =
                    cursor_moved && column == previous_column && row == previous_row;
                if (!blinking && !cursor_here && !cursor_left) continue;
            }
            copy[index] = cell;
            draw_cell(canvas, column * font->cell_width, row * font->cell_height,
                      cell.character, cell.attribute, is_cursor_cell, blink_phase);
        }
    }
    builder.previous_blink_phase = blink_phase;
    builder.previous_cursor_column = cursor_column;
    builder.previous_cursor_row = cursor_row;
    builder.valid_for_invalidations = invalidations;
    return true;
}

}  // namespace

FrameExchange& frame_exchange() { return exchange; }

void reset_frame_slots() {
    for (DisplayFrame& slot : exchange.slots) {
        slot.state.store(frame_free);
        slot.serial.store(0);
        slot.pixels.reset();
        slot.width = 0;
        slot.height = 0;
        slot.capacity = 0;
    }
    exchange.next_frame_serial.store(1);
    exchange.latest_frame_serial.store(0);
    exchange.presented_frame_serial.store(0);
    exchange.auto_display.store(1);
    exchange.frame_pause.store(0);
    exchange.blink_ticks.store(0);

    builder.cell_copy.reset();
    builder.cell_copy_bytes = 1;
    builder.palette_copy.fill(0);
    builder.invalidations.store(0);
    builder.valid_for_invalidations = -1;
    builder.previous_blink_phase = 0;
    builder.previous_cursor_column = -1;
    builder.previous_cursor_row = -1;
    page_source.store(visible_image);

    FrameBuilderHooks& hooks = frame_builder_hooks();
    hooks.pause_frame_building = pause_frame_building;
    hooks.resume_frame_building = resume_frame_building;
    hooks.invalidate_comparison = invalidate_frame_comparison;
}

void build_frame() {
    // Only a pass that starts after display_now's request may end the hand-over: one already
    // under way may have read the page before the program's last change, and display_now
    // promises a frame of the page as of its call.
    const bool switch_off_requested = exchange.auto_display.load() == -1;
    acknowledge_pause_request();
    if (exchange.frame_pause.load() == 0) {
        const int32_t claimed = claim_slot();
        if (claimed < 0) {
            show_alert("Software frame buffer: Failed to find available frame");
            return;
        }
        DisplayFrame& slot = exchange.slots[claimed];
        if (draw_page_into(slot)) {
            int32_t building = frame_building;
            slot.state.compare_exchange_strong(building, frame_ready);
            exchange.latest_frame_serial.store(slot.serial.load());
        } else {
            abandon_slot(slot);
        }
    }
    acknowledge_pause_request();
    if (switch_off_requested) {
        int32_t switching_off = -1;
        exchange.auto_display.compare_exchange_strong(switching_off, 0);
    }
}

void display_now() {
    if (exchange.auto_display.load() == 0) {
        build_frame();
        return;
    }
    exchange.auto_display.store(-1);
    // The housekeeping thread's next pass switches automatic display off. During shutdown it no
    // longer runs its passes and waits for this thread to park, so give up waiting then: the
    // next statement boundary parks the program.
    while (exchange.auto_display.load() != 0) {
        if (runtime_signals().stop_requested.load() != 0) return;
        platform::sleep_ms(1);
    }
}

void set_auto_display() { exchange.auto_display.store(1); }

int32_t auto_display_state() { return exchange.auto_display.load(); }

void pause_frame_building() {
    if (exchange.auto_display.load() == 0 || runtime_signals().threads_started.load() == 0) {
        return;
    }
    int32_t running = 0;
    exchange.frame_pause.compare_exchange_strong(running, 1);
    // No automatic builder will answer once automatic display is off, nor during shutdown.
    while (exchange.frame_pause.load() != 2) {
        if (exchange.auto_display.load() == 0) return;
        if (runtime_signals().stop_requested.load() != 0) return;
        yield_once();
    }
}

void resume_frame_building() { exchange.frame_pause.store(0); }

void invalidate_frame_comparison() { builder.invalidations.fetch_add(1); }

void housekeeping_frame_step() {
    if (exchange.auto_display.load() != 0) build_frame();
    exchange.blink_ticks.fetch_add(1);
}

FrameChoice take_frame_for_display() {
    for (;;) {
        int32_t current = -1;
        for (int32_t i = 0; i < frame_slot_count; ++i) {
            if (exchange.slots[i].state.load() == frame_on_screen) current = i;
        }
        const int64_t current_serial = current >= 0 ? exchange.slots[current].serial.load() : 0;
        int32_t chosen = -1;
        int64_t chosen_serial = current_serial;
        for (int32_t i = 0; i < frame_slot_count; ++i) {
            const DisplayFrame& slot = exchange.slots[i];
            if (slot.state.load() != frame_ready) continue;
            const int64_t serial = slot.serial.load();
            if (serial > chosen_serial) {
                chosen = i;
                chosen_serial = serial;
            }
        }
        if (chosen < 0) return FrameChoice{current, false};

        // The builder may be claiming this very frame as its oldest ready one: whoever changes
        // the state first keeps it, and the loser looks again.
        int32_t ready = frame_ready;
        if (!exchange.slots[chosen].state.compare_exchange_strong(ready, frame_on_screen)) {
            continue;
        }
        for (int32_t i = 0; i < frame_slot_count; ++i) {
            if (i == chosen) continue;
            DisplayFrame& slot = exchange.slots[i];
            if (slot.serial.load() >= chosen_serial) continue;
            int32_t state = slot.state.load();
            if (state == frame_on_screen || state == frame_ready) {
                slot.state.compare_exchange_strong(state, frame_free);
            }
        }
        return FrameChoice{chosen, true};
    }
}

void set_visible_page_source(VisiblePageSource source) {
    page_source.store(source != nullptr ? source : visible_image);
}
