// Screen pages and text cells: every surface is an Image record held in one ImageTable; text
// pages are Images whose storage is an array of two-byte TextCells, and page numbers map to
// table slots through the page list of the ScreenState.
//
// Data flow: print/cursor write into the write target's cells; the frame builder reads the
// visible page's cells (visible_image()) on the housekeeping thread without a lock, so a frame
// may catch a page mid-change and the next frame shows the finished state. Only re-creating the
// screen, which frees storage the builder reads, is fenced by the frame-builder hooks.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// One character cell: the character code, then its attribute.
struct TextCell {
    uint8_t character = 0x20;
    uint8_t attribute = 0x07;
};
static_assert(sizeof(TextCell) == 2, "a text cell is two bytes with no padding");

inline constexpr TextCell blank_cell{0x20, 0x07};

// Attribute byte: bits 0-3 foreground, bits 4-6 background, bit 7 blink (foreground 16-31).
inline constexpr uint8_t attribute_foreground_mask = 0x0F;
inline constexpr uint8_t attribute_background_mask = 0x70;
inline constexpr uint8_t attribute_blink_bit = 0x80;

constexpr uint8_t text_attribute(uint32_t foreground, uint32_t background) {
    return static_cast<uint8_t>((foreground & 0x0F) | ((background & 7) << 4) |
                                ((foreground & 0x10) << 3));
}

// Image flags.
inline constexpr uint32_t image_owns_palette = 1u << 0;
inline constexpr uint32_t image_is_page = 1u << 1;
inline constexpr uint32_t image_owns_cells = 1u << 2;

// Surface kinds (`mode`): 0 is text; the others are graphics kinds this program never draws on.
inline constexpr uint16_t text_mode = 0;

// Fonts: the cell shape of a text page.
inline constexpr uint32_t font_8x16 = 16;
inline constexpr uint32_t font_8x8 = 8;
inline constexpr uint32_t font_8x14 = 14;

inline constexpr int32_t palette_entries = 256;

// Fields of graphics surfaces only. Text pages keep them at their reset values (angle 0, scale 1).
struct GraphicsState {
    int32_t viewport_left = 0, viewport_top = 0, viewport_right = 0, viewport_bottom = 0;
    double window_left = 0.0, window_top = 0.0, window_right = 0.0, window_bottom = 0.0;
    uint8_t window_scaling = 0;
    double pen_x = 0.0, pen_y = 0.0;
    double turtle_angle = 0.0;
    double turtle_scale = 0.0;
};

// One surface. All fields are zero in a free slot; `init_image` fills a text page's values.
struct Image {
    void* lock = nullptr;              // memory-lock record; unused by this program
    uint64_t lock_id = 0;              // 0 = no lock
    uint8_t in_use = 0;                // 1 while the slot holds a live image
    uint8_t is_text = 0;
    uint8_t is_console = 0;            // never set in this program
    uint16_t width = 0;                // columns of a text page
    uint16_t height = 0;               // rows of a text page
    uint8_t bytes_per_cell = 0;        // 2 on a text page
    uint8_t bits_per_cell = 0;         // 16 on a text page
    uint32_t colour_mask = 0;          // (1 << bits_per_cell) - 1
    uint16_t mode = 0;                 // surface kind; text_mode for text pages
    uint32_t foreground = 0;           // colour number 0-31 (16-31 blink)
    uint32_t background = 0;           // colour number 0-7
    uint32_t draw_colour = 0;
    uint32_t font = 0;                 // font_8x16 on the start-up screen
    int16_t view_top = 0;              // scrolling view, 1-based rows
    int16_t view_bottom = 0;
    int16_t column = 0;                // cursor, 1-based
    int16_t row = 0;
    uint8_t cursor_visible = 0;
    uint8_t cursor_start = 0;          // scan lines of the cursor block, 0-31
    uint8_t cursor_stop = 0;
    TextCell* cells = nullptr;         // row by row: (row - 1) * width + (column - 1)
    uint32_t flags = 0;                // image_owns_palette | image_is_page | image_owns_cells
    uint32_t* palette = nullptr;       // palette_entries 0xAARRGGBB words
    int32_t transparent_colour = 0;    // -1 = none
    uint8_t alpha_off = 0;
    uint8_t wrap_state = 0;            // 0 none; 1 line break pending; 2 as 1, cursor shown below
    uint8_t print_mode = 0;
    GraphicsState graphics;
};

// The table of every Image. Records live in fixed chunks of image_table_step records that never
// move, so a record's address stays valid for the life of the process (the frame builder holds
// the visible page's record across table growth).
inline constexpr int32_t image_table_step = 4'096;
inline constexpr int32_t image_table_max_chunks = 1'024;

// Growth failures are critical errors (502 for the records, 503 for the released stack), so
// the arrays are grown by hand with allocations that report failure instead of throwing.
struct ImageTable {
    std::array<Image*, image_table_max_chunks> chunks{};  // chunk k holds slots k * step ...
    int32_t capacity = 0;                                 // slots in the allocated chunks
    int32_t handed_out = 0;                               // slots ever handed out
    int32_t* released = nullptr;                          // stack of released slot indices
    int32_t released_count = 0;
    int32_t released_capacity = 0;                        // grown in image_table_step steps
};

// The page list: slot index by page number, 0 = page not created yet.
struct PageList {
    int32_t* slots = nullptr;
    int32_t count = 0;  // entries in the list; page numbers below it have an entry
    int32_t capacity = 0;
};

// The screen bookkeeping.
struct ScreenState {
    PageList pages;  // one entry (0) after init_image_table
    int32_t write_target = 0;
    Image* write_record = nullptr;
    int32_t read_source = 0;
    Image* read_record = nullptr;
    // THREADING: written by the program thread (set_screen_mode); read by the frame builder on
    // the housekeeping or program thread. The record is written before the slot, and neither
    // changes while a re-creation could free the record's storage (the builder is paused then).
    std::atomic<int32_t> visible_page{0};
    std::atomic<Image*> visible_record{nullptr};
    int32_t active_page_number = 0;
};

// Clears the table and reserves slots 0 and 1 (start-up, before the first screen; tests too).
void init_image_table();

// (Re)creates the screen pages when the mode or a pending shape asks for it, and selects the
// active and visible pages. Given-mask: bit 0 mode, bit 2 active page, bit 3 visible page.
// Start-up calls set_screen_mode(0, 0, 0, 0, 0, 1). Only text screens are supported.
void set_screen_mode(int32_t mode, int32_t colour_switch, int32_t active_page,
                     int32_t visible_page, int32_t fifth, uint32_t given_mask);

// The slot of page `page` (>= 0), creating the page from page 0 when missing.
int32_t page_image(int32_t page);

// Copies every cell of one page or image (negative = handle) to another of the same shape.
void copy_page(int32_t source, int32_t destination);

// Makes a page (>= 0) or image handle (< 0) the write target.
void set_write_target(int32_t target);

int32_t write_target_handle();
int32_t visible_page_handle();

// Makes a surface; the negative handle, 0 after a reported error, -1 when no storage was had.
int32_t new_image(int32_t width, int32_t height, int32_t mode, bool mode_given);

// Sets `font`, puts the cursor at row 1, column 1 (no wrap pending) and the view at rows 1 to
// height - 1.
void set_font(uint32_t font, Image* image);

// The record of a slot (nullptr when the slot was never allocated). Program thread: the table's
// bookkeeping is not atomic. Other threads reach the visible page through visible_image().
Image* image_record(int32_t slot);
// The visible page's record (nullptr before the first screen); any thread may call it, see the
// ScreenState THREADING note.
Image* visible_image();
Image* write_target_image();

const ScreenState& screen_state();
const ImageTable& image_table();

// True when `handle` (< 0) names a live image: slot below the count handed out and in use.
bool valid_image_handle(int32_t handle);
