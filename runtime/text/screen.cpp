#include "runtime/text/screen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "runtime/core/errors.h"
#include "runtime/display/palette.h"
#include "runtime/input/low_memory.h"
#include "runtime/text/frame_hooks.h"
#include "runtime/text/private/screen_internal.h"

namespace {

// Critical out-of-memory codes of the image table.
constexpr int32_t error_image_table_growth = 502;
constexpr int32_t error_released_stack_growth = 503;

constexpr int32_t text_video_pages_max = 8;
constexpr int32_t text_colours = 16;

// Text shapes a re-creation keeps from the previous screen (any other becomes 80x25).
struct TextShape {
    int32_t columns;
    int32_t rows;
    uint32_t font;
};
constexpr std::array<TextShape, 5> kept_text_shapes = {{
    {80, 50, 8},
    {40, 50, 9},
    {80, 43, 8},
    {40, 43, 9},
    {40, 25, 17},
}};
constexpr TextShape default_text_shape{80, 25, font_8x16};

struct PendingShape {
    bool pending = false;
    TextShape shape{};
};

struct ScreenModule {
    ImageTable table;
    ScreenState screen;
    PendingShape pending_shape;
    bool fifty_row_permission = false;
};

ScreenModule module;

bool is_graphics_mode(int32_t mode) {
    return mode == 1 || mode == 2 || (mode >= 7 && mode <= 13) || mode == 256 || mode == 32;
}

// ---- growable arrays without exceptions ----------------------------------------------------

// Grows `array` from `count` used entries to `new_capacity`, the new entries zero. False when
// the storage could not be had (the array is then unchanged). calloc leaves the zero pages of a
// huge request untouched, so a far-off page number costs address space, not memory.
bool grow_int_array(int32_t*& array, int32_t count, int32_t& capacity, int32_t new_capacity) {
    auto* grown = static_cast<int32_t*>(std::calloc(static_cast<size_t>(new_capacity),
                                                    sizeof(int32_t)));
    if (grown == nullptr) return false;
    if (array != nullptr) std::copy(array, array + count, grown);
    std::free(array);
    array = grown;
    capacity = new_capacity;
    return true;
}

// Makes the page list at least `count` entries long. Entries at and beyond `count` are always
// 0 (see release_every_page), so the new entries need no fill.
bool grow_page_list(PageList& pages, int32_t count) {
    if (count <= pages.count) return true;
    if (count > pages.capacity &&
        !grow_int_array(pages.slots, pages.count, pages.capacity, count)) {
        return false;
    }
    pages.count = count;
    return true;
}

// ---- image storage -----------------------------------------------------------------------

void free_owned_storage(Image& image) {
    if ((image.flags & image_owns_cells) != 0) delete[] image.cells;
    if ((image.flags & image_owns_palette) != 0) delete[] image.palette;
    image.cells = nullptr;
    image.palette = nullptr;
    image.flags &= ~(image_owns_cells | image_owns_palette);
}

void reset_page_settings(Image& image) {
    image.foreground = image.is_text ? 7 : 15;
    image.background = 0;
    image.draw_colour = image.foreground;
    image.view_top = 1;
    image.view_bottom = static_cast<int16_t>(std::max(1, image.height - 1));
}

void set_write_and_read(int32_t slot) {
    ScreenState& screen = module.screen;
    screen.write_target = slot;
    screen.write_record = image_record(slot);
    screen.read_source = slot;
    screen.read_record = screen.write_record;
}

void set_visible(int32_t slot) {
    ScreenState& screen = module.screen;
    screen.visible_record.store(image_record(slot));
    screen.visible_page.store(slot);
}

// ---- screen re-creation --------------------------------------------------------------------

void release_every_page() {
    PageList& pages = module.screen.pages;
    for (int32_t page = 0; page < pages.count; ++page) {
        const int32_t slot = pages.slots[page];
        if (slot == 0) continue;
        // The pages made by a re-creation own their palettes too; freeing only the cells of
        // pages 1 and up would lose those palettes on every re-creation.
        free_owned_storage(*image_record(slot));
        release_image_slot(slot);
    }
    std::fill(pages.slots, pages.slots + pages.count, 0);
    pages.count = 0;
    grow_page_list(pages, 1);
}

TextShape choose_text_shape(const TextShape& previous) {
    if (module.pending_shape.pending) return module.pending_shape.shape;
    for (const TextShape& kept : kept_text_shapes) {
        if (kept.columns == previous.columns && kept.rows == previous.rows) return kept;
    }
    return default_text_shape;
}

int32_t text_page_stride(const TextShape& shape) {
    if (shape.columns == 80 && shape.rows == 25) return 4'096;
    if (shape.columns == 40 && shape.rows == 25) return 2'048;
    return shape.columns * shape.rows * 2;
}

// Builds pages 0-7 of a text screen; false after an out-of-memory error was raised.
bool recreate_text_screen() {
    ScreenState& screen = module.screen;
    TextShape previous{0, 0, 0};
    const int32_t old_page_0 = screen.pages.count > 0 ? screen.pages.slots[0] : 0;
    if (old_page_0 != 0) {
        const Image& page_0 = *image_record(old_page_0);
        if (page_0.is_text) previous = {page_0.width, page_0.height, page_0.font};
    }

    // Nothing may point into the storage released below.
    screen.write_target = screen.read_source = 0;
    screen.write_record = screen.read_record = nullptr;
    screen.visible_record.store(nullptr);
    screen.visible_page.store(0);
    release_every_page();

    const TextShape shape = choose_text_shape(previous);
    module.pending_shape.pending = false;
    const int32_t stride = text_page_stride(shape);
    const int32_t pages_in_video_area =
        std::min(text_video_pages_max, static_cast<int32_t>(text_video_size) / stride);

    if (!grow_page_list(screen.pages, text_video_pages_max)) {
        raise_error(error_out_of_memory);
        return false;
    }
    uint8_t* video_area = low_memory() + text_video_offset;
    for (int32_t page = 0; page < text_video_pages_max; ++page) {
        const int32_t slot =
            page < pages_in_video_area
                ? init_image(reinterpret_cast<TextCell*>(video_area + page * stride),
                             shape.columns, shape.rows, text_mode)
                : create_image(shape.columns, shape.rows, text_mode);
        if (slot == 0) {
            raise_error(error_out_of_memory);
            return false;
        }
        Image& image = *image_record(slot);
        set_font(shape.font, &image);
        image.flags |= image_is_page;
        screen.pages.slots[page] = slot;
    }
    for (size_t offset = 0; offset < text_video_size; offset += 2) {
        video_area[offset] = blank_cell.character;
        video_area[offset + 1] = blank_cell.attribute;
    }

    const int32_t page_0 = screen.pages.slots[0];
    set_write_and_read(page_0);
    set_visible(page_0);
    screen.write_record->graphics.turtle_angle = 0.0;
    screen.write_record->graphics.turtle_scale = 1.0;
    screen.active_page_number = 0;
    return true;
}

}  // namespace

// ---- the table -----------------------------------------------------------------------------

void init_image_table() {
    ImageTable& table = module.table;
    for (int32_t chunk = 0; chunk < image_table_max_chunks; ++chunk) {
        Image* records = table.chunks[chunk];
        if (records == nullptr) continue;
        for (int32_t index = 0; index < image_table_step; ++index) {
            if (records[index].in_use) free_owned_storage(records[index]);
        }
        delete[] records;
        table.chunks[chunk] = nullptr;
    }
    std::free(table.released);
    table = ImageTable{};

    table.chunks[0] = new (std::nothrow) Image[image_table_step]();
    if (table.chunks[0] == nullptr) {
        raise_error(error_image_table_growth);
        return;
    }
    table.capacity = image_table_step;
    if (!grow_int_array(table.released, 0, table.released_capacity, image_table_step)) {
        raise_error(error_released_stack_growth);
        return;
    }
    // Slots 0 and 1 are never handed out: 0 means "no image" in the page list, and the
    // handle -1 is new_image's "no storage" result.
    table.handed_out = 2;

    ScreenState& screen = module.screen;
    std::free(screen.pages.slots);
    screen.pages = PageList{};
    grow_page_list(screen.pages, 1);
    screen.write_target = screen.read_source = 0;
    screen.write_record = screen.read_record = nullptr;
    screen.visible_record.store(nullptr);
    screen.visible_page.store(0);
    screen.active_page_number = 0;
    module.pending_shape = PendingShape{};
    module.fifty_row_permission = false;
}

int32_t allocate_image_slot() {
    ImageTable& table = module.table;
    if (table.released_count > 0) {
        const int32_t slot = table.released[--table.released_count];
        image_record(slot)->in_use = 1;
        return slot;
    }
    if (table.handed_out == table.capacity) {
        const int32_t chunk = table.capacity / image_table_step;
        Image* records = chunk < image_table_max_chunks
                             ? new (std::nothrow) Image[image_table_step]()
                             : nullptr;
        if (records == nullptr) {
            raise_error(error_image_table_growth);
            return 0;
        }
        table.chunks[chunk] = records;
        table.capacity += image_table_step;
    }
    const int32_t slot = table.handed_out++;
    image_record(slot)->in_use = 1;
    return slot;
}

int32_t release_image_slot(int32_t slot) {
    ImageTable& table = module.table;
    if (slot < 0 || slot >= table.capacity) return 0;
    Image& image = *image_record(slot);
    if (!image.in_use) return 0;
    if (table.released_count + 1 >= table.released_capacity &&
        !grow_int_array(table.released, table.released_count, table.released_capacity,
                        table.released_capacity + image_table_step)) {
        raise_error(error_released_stack_growth);
        return 0;
    }
    // Memory-lock records belong to the memory-block statements, which this program lacks;
    // a non-zero lock_id cannot occur, so there is nothing to release with it.
    image = Image{};
    table.released[table.released_count++] = slot;
    return 1;
}

int32_t free_image(int32_t slot) {
    Image* image = image_record(slot);
    if (image == nullptr || !image->in_use) return 0;
    free_owned_storage(*image);
    return release_image_slot(slot);
}

Image* image_record(int32_t slot) {
    const ImageTable& table = module.table;
    if (slot < 0 || slot >= table.capacity) return nullptr;
    return &table.chunks[slot / image_table_step][slot % image_table_step];
}

bool valid_image_handle(int32_t handle) {
    if (handle >= 0 || handle == std::numeric_limits<int32_t>::min()) return false;
    const int32_t slot = -handle;
    return slot < module.table.handed_out && image_record(slot)->in_use == 1;
}

const ImageTable& image_table() { return module.table; }
const ScreenState& screen_state() { return module.screen; }
ScreenState& mutable_screen_state() { return module.screen; }

// ---- images --------------------------------------------------------------------------------

int32_t init_image(TextCell* storage, int32_t width, int32_t height, int32_t mode) {
    constexpr int32_t max_side = std::numeric_limits<uint16_t>::max();
    if (width <= 0 || height <= 0 || width > max_side || height > max_side) return 0;
    const int32_t slot = allocate_image_slot();
    if (slot == 0) return 0;
    Image& image = *image_record(slot);
    image.cells = storage;
    image.width = static_cast<uint16_t>(width);
    image.height = static_cast<uint16_t>(height);
    image.mode = static_cast<uint16_t>(mode);
    if (mode == text_mode) {
        image.is_text = 1;
        image.bytes_per_cell = 2;
        image.bits_per_cell = 16;
        image.foreground = 7;
        image.font = font_8x16;
    } else {
        // Graphics surfaces are only given their storage shape here; this program draws on
        // none of them.
        const bool full_colour = mode == 32;
        image.bytes_per_cell = full_colour ? 4 : 1;
        image.bits_per_cell = full_colour ? 32 : 8;
        image.foreground = full_colour ? 0xFFFFFFFFu : 15;
    }
    image.print_mode = 3;
    image.cursor_visible = 0;
    image.cursor_start = 4;
    image.cursor_stop = 4;
    image.graphics.turtle_angle = 0.0;
    image.graphics.turtle_scale = 1.0;
    image.draw_colour = image.foreground;

    image.palette = new (std::nothrow) uint32_t[palette_entries]();
    if (image.palette == nullptr) {
        image.cells = nullptr;
        release_image_slot(slot);
        return 0;
    }
    image.flags |= image_owns_palette;
    const std::array<uint32_t, 256>& defaults = default_palette();
    const int32_t copied = mode == text_mode ? text_colours : palette_entries;
    std::copy(defaults.begin(), defaults.begin() + copied, image.palette);
    image.transparent_colour = -1;

    image.colour_mask =
        image.bits_per_cell >= 32 ? 0xFFFFFFFFu : (1u << image.bits_per_cell) - 1;
    image.column = 1;
    image.row = 1;
    image.view_top = 1;
    image.view_bottom = static_cast<int16_t>(std::max(1, height - 1));
    return slot;
}

int32_t create_image(int32_t width, int32_t height, int32_t mode) {
    const int32_t slot = init_image(nullptr, width, height, mode);
    if (slot == 0) return 0;
    Image& image = *image_record(slot);
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) *
                         image.bytes_per_cell;
    image.cells = new (std::nothrow) TextCell[(bytes + 1) / 2];
    if (image.cells == nullptr) {
        free_owned_storage(image);
        release_image_slot(slot);
        return 0;
    }
    if (image.is_text) {
        std::fill(image.cells, image.cells + bytes / 2, blank_cell);
    } else {
        std::memset(static_cast<void*>(image.cells), 0, bytes);
    }
    image.flags |= image_owns_cells;
    return slot;
}

void set_font(uint32_t font, Image* image) {
    image->font = font;
    image->row = 1;
    image->column = 1;
    // A break held pending for the old cursor place would push the next output to row 2.
    image->wrap_state = 0;
    image->view_top = 1;
    image->view_bottom = static_cast<int16_t>(std::max(1, image->height - 1));
}

int32_t new_image(int32_t width, int32_t height, int32_t mode, bool mode_given) {
    if (error_pending()) return 0;
    if (width <= 0 || height <= 0) {
        raise_error(error_illegal_function_call);
        return 0;
    }
    const Image* target = module.screen.write_record;
    if (mode_given && mode != text_mode && !is_graphics_mode(mode)) {
        raise_error(error_illegal_function_call);
        return 0;
    }
    if (!mode_given) mode = target != nullptr ? target->mode : text_mode;

    const int32_t slot = create_image(width, height, mode);
    if (slot == 0) return -1;
    Image& image = *image_record(slot);
    if (!mode_given && target != nullptr) {
        if (target->palette != nullptr) {
            std::copy(target->palette, target->palette + palette_entries, image.palette);
        }
        set_font(target->font, &image);
        image.foreground = target->foreground;
        image.background = target->background;
        image.draw_colour = image.foreground;
        image.transparent_colour = target->transparent_colour;
        image.alpha_off = target->alpha_off;
        image.print_mode = target->print_mode;
    }
    return -slot;
}

// ---- pages ---------------------------------------------------------------------------------

int32_t page_image(int32_t page) {
    ScreenState& screen = module.screen;
    if (page < 0) return 0;
    if (page >= screen.pages.count &&
        (page == std::numeric_limits<int32_t>::max() ||
         !grow_page_list(screen.pages, page + 1))) {
        // A page number far beyond any real screen: the list cannot hold it.
        raise_error(error_out_of_memory);
        return 0;
    }
    if (screen.pages.slots[page] != 0) return screen.pages.slots[page];
    const int32_t page_0_slot = screen.pages.slots[0];
    if (page_0_slot == 0) return 0;  // no screen yet

    const Image& page_0 = *image_record(page_0_slot);
    const int32_t slot = create_image(page_0.width, page_0.height, page_0.mode);
    if (slot == 0) {
        raise_error(error_out_of_memory);
        return 0;
    }
    Image& image = *image_record(slot);
    if (image.bits_per_cell != 32) {
        delete[] image.palette;
        image.flags &= ~image_owns_palette;
        image.palette = page_0.palette;
    }
    image.flags |= image_is_page;
    set_font(page_0.font, &image);
    screen.pages.slots[page] = slot;
    return slot;
}

Image* resolve_image(int32_t page_or_handle) {
    if (page_or_handle < 0) {
        return valid_image_handle(page_or_handle) ? image_record(-page_or_handle) : nullptr;
    }
    const int32_t slot = page_image(page_or_handle);
    return slot == 0 ? nullptr : image_record(slot);
}

void copy_page(int32_t source, int32_t destination) {
    if (error_pending()) return;
    Image* from = resolve_image(source);
    if (from == nullptr) {
        if (!error_pending()) raise_error(error_illegal_function_call);
        return;
    }
    Image* to = resolve_image(destination);
    if (to == nullptr) {
        if (!error_pending()) raise_error(error_illegal_function_call);
        return;
    }
    if (from == to) return;
    if (from->bytes_per_cell != to->bytes_per_cell || from->width != to->width ||
        from->height != to->height ||
        (from->bytes_per_cell == 1 && to->colour_mask < from->colour_mask)) {
        raise_error(error_illegal_function_call);
        return;
    }
    const size_t bytes =
        static_cast<size_t>(from->width) * from->height * from->bytes_per_cell;
    std::memmove(static_cast<void*>(to->cells), from->cells, bytes);
}

void set_write_target(int32_t target) {
    if (error_pending()) return;
    if (target < 0 && !valid_image_handle(target)) {
        raise_error(error_invalid_handle);
        return;
    }
    const int32_t slot = target < 0 ? -target : page_image(target);
    if (slot == 0) return;  // the page could not be made; its error is pending
    module.screen.write_target = slot;
    module.screen.write_record = image_record(slot);
}

int32_t write_target_handle() { return -module.screen.write_target; }
int32_t visible_page_handle() { return -module.screen.visible_page.load(); }
Image* visible_image() { return module.screen.visible_record.load(); }
Image* write_target_image() { return module.screen.write_record; }

// ---- screen mode ---------------------------------------------------------------------------

bool fifty_row_permission() { return module.fifty_row_permission; }
void withdraw_fifty_row_permission() { module.fifty_row_permission = false; }

void set_pending_text_shape(int32_t columns, int32_t rows, uint32_t font) {
    module.pending_shape = PendingShape{true, {columns, rows, font}};
    module.fifty_row_permission = false;
}

void set_screen_mode(int32_t mode, int32_t /*colour_switch*/, int32_t active_page,
                     int32_t visible_page, int32_t /*fifth*/, uint32_t given_mask) {
    if (error_pending()) return;
    ScreenState& screen = module.screen;
    const bool plain_text_setup = given_mask == 1 && mode == text_mode;
    if (!plain_text_setup) module.fifty_row_permission = false;

    const bool mode_given = (given_mask & 1u) != 0;
    const bool active_given = (given_mask & 4u) != 0;
    bool visible_given = (given_mask & 8u) != 0;

    // Every check comes before any change.
    bool recreate = false;
    if (mode_given) {
        if ((mode >= 3 && mode <= 6) || mode > 13) {
            raise_error(error_illegal_function_call);
            return;
        }
        if (mode < 0) {
            if (!valid_image_handle(mode)) {
                raise_error(error_invalid_handle);
                return;
            }
            if (-mode != screen.pages.slots[0]) {
                // A program image as the screen is a graphics screen, which is not supported.
                raise_error(error_illegal_function_call);
                return;
            }
        } else {
            const int32_t page_0_slot = screen.pages.slots[0];
            recreate = page_0_slot == 0 || image_record(page_0_slot)->mode != mode ||
                       module.pending_shape.pending;
            if (recreate && mode != text_mode) {
                // Graphics screens are not supported: only text screens are built.
                raise_error(error_illegal_function_call);
                return;
            }
        }
    }
    if (active_given && active_page < 0) {
        raise_error(error_illegal_function_call);
        return;
    }
    if (active_given && !visible_given) {
        visible_page = active_page;
        visible_given = true;
    }
    if (visible_given && visible_page < 0) {
        raise_error(error_illegal_function_call);
        return;
    }

    bool change_active = false;
    bool change_visible = false;
    if (!recreate) {
        if (active_given) {
            const int32_t slot = page_image(active_page);
            if (slot == 0) return;
            change_active = slot != screen.write_target || slot != screen.read_source;
        }
        if (visible_given) {
            const int32_t slot = page_image(visible_page);
            if (slot == 0) return;
            change_visible = slot != screen.visible_page.load();
        }
    }
    if (!recreate && !change_active && !change_visible) return;

    FrameBuilderHooks& hooks = frame_builder_hooks();
    if (recreate) hooks.pause_frame_building();
    hooks.invalidate_comparison();
    const bool first_screen = screen.pages.slots[0] == 0;
    bool built = true;
    if (recreate) {
        built = recreate_text_screen();
        if (built && first_screen && plain_text_setup) module.fifty_row_permission = true;
    }
    if (built && active_given) {
        const int32_t slot = page_image(active_page);
        if (slot != 0 && (slot != screen.write_target || slot != screen.read_source)) {
            set_write_and_read(slot);
            reset_page_settings(*screen.write_record);
        }
        if (slot != 0 && active_page != screen.active_page_number) {
            screen.active_page_number = active_page;
        }
    }
    if (built && visible_given) {
        const int32_t slot = page_image(visible_page);
        if (slot != 0 && slot != screen.visible_page.load()) {
            set_visible(slot);
            reset_page_settings(*screen.write_record);
        }
    }
    if (recreate) hooks.resume_frame_building();
}
