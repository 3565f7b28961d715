// The window layer speaks freeglut, OpenGL and, for what freeglut does not say about keys, Xlib:
// it is the one place outside the platform layer that sees window-system types.
#include "runtime/display/window.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <optional>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/core/signals.h"
#include "runtime/display/frames.h"
#include "runtime/display/presentation.h"
#include "runtime/display/private/frame_exchange.h"
#include "runtime/input/key_intake.h"
#include "runtime/platform/platform.h"

// Last: the header for hooking the connection's event conversion defines min and max.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace {

constexpr int32_t initial_width = 640;
constexpr int32_t initial_height = 400;
constexpr unsigned display_mode = GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH;

// One GL texture made from a frame (or the black band texture).
struct FrameTexture {
    bool in_use = false;
    int32_t width = 0, height = 0;  // of the frame
    GLuint name = 0;
    int32_t kind = 0;  // 0 exact size, 1 padded to powers of two, 2 mipmap chain
    int32_t texture_width = 0, texture_height = 0;  // for texture coordinates
    GLint min_filter = 0, mag_filter = 0;           // last set on it; 0 none yet
};

// Handles are index + 1; 0 means none. Two frames never need textures at once, so a few
// entries are plenty.
constexpr size_t texture_table_size = 4;

// Textured triangles collected until the texture or filter changes.
struct TriangleBatch {
    FrameTexture* texture = nullptr;
    GLint filter = 0;
    std::vector<GLfloat> vertices;
    std::vector<GLfloat> coordinates;
};

// Everything the window thread knows about the window and the frame it shows.
struct WindowState {
    int32_t window_width = initial_width, window_height = initial_height;
    int32_t previous_window_width = initial_width, previous_window_height = initial_height;
    int32_t frame_width = initial_width, frame_height = initial_height;
    int32_t previous_frame_width = initial_width, previous_frame_height = initial_height;
    bool reshape_pending = false;
    // The first reshape report has not come yet: a full-screen request waits for it.
    bool reshape_requested = true;
    FullscreenSettings fullscreen;
    double display_rate = 60.0;
    bool presenting = false;
    bool window_open = false;
    bool drawing_mode_set = false;  // forgotten at every reshape
    int32_t frame_texture = 0;
    std::array<FrameTexture, texture_table_size> textures;
    FrameTexture band_texture;  // 1 x 1 black
    std::vector<uint32_t> padding_scratch;
    TriangleBatch batch;
    int32_t texture_uploads = 0;
    int32_t presentations = 0;
    int32_t swaps = 0;
    bool framebuffer_objects = false;
};

WindowState& window_state() {
    static WindowState state;
    return state;
}

// --- Frame textures -------------------------------------------------------------------------

FrameTexture* find_frame_texture(int32_t handle) {
    WindowState& state = window_state();
    if (handle < 1 || handle > static_cast<int32_t>(texture_table_size)) return nullptr;
    FrameTexture& texture = state.textures[static_cast<size_t>(handle - 1)];
    return texture.in_use ? &texture : nullptr;
}

void delete_frame_texture(int32_t handle) {
    FrameTexture* texture = find_frame_texture(handle);
    if (texture == nullptr) {
        show_alert("free_hardware_img: image does not exist");
        return;
    }
    glDeleteTextures(1, &texture->name);
    *texture = FrameTexture{};
}

void drain_gl_errors() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

// Returns the new handle, or 0 when the table has no room.
int32_t upload_frame_texture(const DisplayFrame& frame) {
    WindowState& state = window_state();
    size_t index = 0;
    while (index < texture_table_size && state.textures[index].in_use) ++index;
    if (index == texture_table_size) return 0;
    FrameTexture& texture = state.textures[index];
    texture = FrameTexture{true, frame.width, frame.height, 0, 0, frame.width, frame.height, 0, 0};

    glGenTextures(1, &texture.name);
    glBindTexture(GL_TEXTURE_2D, texture.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    drain_gl_errors();
    // The frame's 0xAARRGGBB words are BGRA bytes in memory.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, frame.width, frame.height, 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, frame.pixels.get());
    if (glGetError() != GL_NO_ERROR) {
        const int32_t padded_width = next_power_of_two(frame.width);
        const int32_t padded_height = next_power_of_two(frame.height);
        const size_t padded_size =
            static_cast<size_t>(padded_width) * static_cast<size_t>(padded_height);
        if (state.padding_scratch.size() < padded_size) state.padding_scratch.resize(padded_size);
        pad_frame_pixels(frame.pixels.get(), frame.width, frame.height,
                         state.padding_scratch.data(), padded_width, padded_height);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, padded_width, padded_height, 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, state.padding_scratch.data());
        if (glGetError() == GL_NO_ERROR) {
            texture.kind = 1;
            texture.texture_width = padded_width;
            texture.texture_height = padded_height;
        } else {
            texture.kind = 2;
            const GLint built = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, frame.width,
                                                  frame.height, GL_BGRA, GL_UNSIGNED_BYTE,
                                                  frame.pixels.get());
            if (built != 0) {
                const GLenum error = glGetError();
                show_alert("gluBuild2DMipmaps failed");
                show_alert_number(error != GL_NO_ERROR ? static_cast<int32_t>(error) : built);
            }
        }
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    ++state.texture_uploads;
    return static_cast<int32_t>(index) + 1;
}

void make_band_texture() {
    FrameTexture& band = window_state().band_texture;
    if (band.in_use) return;
    const uint32_t black = 0;
    band = FrameTexture{true, 1, 1, 0, 0, 1, 1, 0, 0};
    glGenTextures(1, &band.name);
    glBindTexture(GL_TEXTURE_2D, band.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &black);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// --- Drawing --------------------------------------------------------------------------------

void set_drawing_mode(int32_t window_width, int32_t window_height) {
    WindowState& state = window_state();
    if (state.drawing_mode_set) return;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, window_width, 0.0, window_height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Window pixel (0, 0) is the top-left corner.
    glScalef(1.0f, -1.0f, 1.0f);
    glTranslatef(0.0f, static_cast<GLfloat>(-window_height), 0.0f);
    glViewport(0, 0, window_width, window_height);
    state.drawing_mode_set = true;
}

void flush_triangles() {
    TriangleBatch& batch = window_state().batch;
    if (batch.vertices.empty()) return;
    FrameTexture& texture = *batch.texture;
    glBindTexture(GL_TEXTURE_2D, texture.name);
    if (texture.min_filter != batch.filter) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, batch.filter);
        texture.min_filter = batch.filter;
    }
    if (texture.mag_filter != batch.filter) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, batch.filter);
        texture.mag_filter = batch.filter;
    }
    glVertexPointer(2, GL_FLOAT, 0, batch.vertices.data());
    glTexCoordPointer(2, GL_FLOAT, 0, batch.coordinates.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(batch.vertices.size() / 2));
    glBindTexture(GL_TEXTURE_2D, 0);
    batch.vertices.clear();
    batch.coordinates.clear();
}

void make_room(std::vector<GLfloat>& values, size_t more) {
    if (values.size() + more > values.capacity()) values.reserve(values.capacity() * 2 + 96);
}

// Texture pixels (column0, row0)-(column1, row1) drawn into the window rectangle `target`.
void add_textured_rect(FrameTexture& texture, bool smooth, const PixelRect& target,
                       int32_t column0, int32_t row0, int32_t column1, int32_t row1) {
    TriangleBatch& batch = window_state().batch;
    const GLint filter = smooth || texture.kind == 2 ? GL_LINEAR : GL_NEAREST;
    if (batch.texture != &texture || batch.filter != filter) {
        flush_triangles();
        batch.texture = &texture;
        batch.filter = filter;
    }
    const auto x0 = static_cast<GLfloat>(target.left);
    const auto y0 = static_cast<GLfloat>(target.top);
    const auto x1 = static_cast<GLfloat>(target.right + 1);
    const auto y1 = static_cast<GLfloat>(target.bottom + 1);
    const auto tw = static_cast<GLfloat>(texture.texture_width);
    const auto th = static_cast<GLfloat>(texture.texture_height);
    const GLfloat s0 = (static_cast<GLfloat>(column0) + 0.01f) / tw;
    const GLfloat s1 = (static_cast<GLfloat>(column1) + 0.99f) / tw;
    const GLfloat t0 = (static_cast<GLfloat>(row0) + 0.01f) / th;
    const GLfloat t1 = (static_cast<GLfloat>(row1) + 0.99f) / th;
    make_room(batch.vertices, 12);
    make_room(batch.coordinates, 12);
    batch.vertices.insert(batch.vertices.end(), {x0, y0, x1, y0, x1, y1, x0, y0, x1, y1, x0, y1});
    batch.coordinates.insert(batch.coordinates.end(),
                             {s0, t0, s1, t0, s1, t1, s0, t0, s1, t1, s0, t1});
}

// A rectangle of frame pixels drawn from the band texture's one black pixel.
void add_band(const Viewport& viewport, const PixelRect& band) {
    add_textured_rect(window_state().band_texture, false,
                      frame_rect_to_window(viewport, band.left, band.top, band.right, band.bottom),
                      0, 0, 0, 0);
}

int32_t slot_on_screen() {
    FrameExchange& exchange = frame_exchange();
    for (int32_t i = 0; i < frame_slot_count; ++i) {
        if (exchange.slots[static_cast<size_t>(i)].state.load() == frame_on_screen) return i;
    }
    return -1;
}

void ask_for_window_size(WindowState& state) {
    state.reshape_requested = true;
    glutReshapeWindow(state.frame_width, state.frame_height);
    glutPostRedisplay();
}

void presentation_pass(WindowState& state) {
    FrameExchange& exchange = frame_exchange();
    // Read before the choice, so a frame finished meanwhile still counts as not presented.
    const int64_t latest = exchange.latest_frame_serial.load();
    const int32_t shown_before = slot_on_screen();
    const FrameChoice choice = take_frame_for_display();
    if (choice.slot < 0) return;
    const bool fullscreen_change = state.fullscreen.request != -1 && !state.reshape_requested;
    if (!presentation_needed(latest, exchange.presented_frame_serial.load(), choice.is_new,
                             fullscreen_change, state.reshape_pending)) {
        return;
    }
    const DisplayFrame& frame = exchange.slots[static_cast<size_t>(choice.slot)];
    state.frame_width = frame.width;
    state.frame_height = frame.height;
    state.reshape_pending = false;

    // The window is kept at the frame's size.
    if (state.fullscreen.mode == 0 && state.fullscreen.request == -1) {
        state.previous_frame_width = frame.width;
        state.previous_frame_height = frame.height;
        if (window_needs_snap_back(state.fullscreen.mode, state.fullscreen.request,
                                   state.window_width, state.window_height, frame.width,
                                   frame.height)) {
            ask_for_window_size(state);
        }
    }
    if (!state.reshape_requested && state.fullscreen.request != -1) {
        switch (take_fullscreen_request(state.fullscreen)) {
            case FullscreenAction::leave_fullscreen:
                // freeglut leaves full screen and restores the earlier window first.
                ask_for_window_size(state);
                break;
            case FullscreenAction::enter_fullscreen:
                glutFullScreen();
                break;
            case FullscreenAction::none:
                break;
        }
    }

    const Viewport viewport =
        compute_viewport(frame.width, frame.height, state.window_width, state.window_height,
                         state.fullscreen.mode, state.fullscreen.smooth);

    if (choice.slot != shown_before && state.frame_texture != 0) {
        delete_frame_texture(state.frame_texture);
        state.frame_texture = 0;
    }
    if (choice.is_new || state.frame_texture == 0) state.frame_texture = upload_frame_texture(frame);
    if (state.frame_texture == 0) {
        show_alert("Invalid software_screen_hardware_frame!!");
        return;
    }
    FrameTexture* texture = find_frame_texture(state.frame_texture);
    if (texture == nullptr) {
        show_alert("Invalid software_screen_hardware_frame!");
        return;
    }
    // A window with no area (mid-reshape) shows nothing; the frame counts as not yet presented,
    // so the pass after the reshape draws it.
    if (viewport_is_empty(viewport)) return;

    // Nothing here draws off screen, so the window is always the draw target.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    set_drawing_mode(state.window_width, state.window_height);
    // The bands first: rounded up to whole pixels, the first one reaches into the frame's first
    // column, which the frame then paints over.
    if (viewport.bars != 0) {
        const LetterboxBands bands = letterbox_bands(viewport, frame.width, frame.height,
                                                     state.window_width, state.window_height);
        add_band(viewport, bands.first);
        add_band(viewport, bands.second);
    }
    add_textured_rect(*texture, viewport.smooth != 0,
                      frame_rect_to_window(viewport, 0, 0, frame.width - 1, frame.height - 1), 0,
                      0, frame.width - 1, frame.height - 1);
    flush_triangles();

    exchange.presented_frame_serial.store(latest);
    ++state.presentations;
    // While paused the window keeps the last picture it swapped.
    if ((runtime_signals().pause_requested.load() & 1) == 0) {
        glutSwapBuffers();
        ++state.swaps;
    }
}

// --- Keys -----------------------------------------------------------------------------------
//
// freeglut reports a key only by its character or special-key number, and some keys not at all.
// The key events its own connection reads are recorded as Xlib converts them, each stamped with
// its place in the log in the event's pointer x, which freeglut hands to the callback (a
// connection of our own would see the same events, but not which one a callback stands for). The event's key symbol and state tell Return from Ctrl+M, and the events
// freeglut passes over (Pause, Break, the Shift+Tab press) are delivered in their place in the
// sequence. A release is delivered with the code its key's press gave, whatever the modifiers
// have become meanwhile, so no code is left held and no release is invented.

using EventConverter = Bool (*)(Display*, XEvent*, xEvent*);

struct RecordedKeyEvent {
    XKeyEvent event;  // as the server sent it
    uint32_t stamp;
};

struct KeyEventLog {
    Display* display = nullptr;
    EventConverter convert_press = nullptr, convert_release = nullptr;
    std::deque<RecordedKeyEvent> events;  // recorded and not yet retired, oldest first
    uint32_t next_stamp = 0;  // wraps; places are differences of stamps
    std::array<int32_t, 256> pressed_codes{};  // by X key code: what its press delivered, 0 none
};

KeyEventLog& key_event_log() {
    static KeyEventLog log;
    return log;
}

// Keys freeglut dispatches without a callback, delivered from the event itself.
struct UnreportedKey {
    KeySym symbol;
    int32_t code;
    int32_t code_with_ctrl;
};
constexpr std::array<UnreportedKey, 3> unreported_keys = {{
    {XK_Pause, key_pause, key_break},  // Ctrl+Pause is Break on PC keyboards
    {XK_Break, key_break, key_break},
    {XK_ISO_Left_Tab, 9, 9},  // Tab with Shift: X gives it no character
}};

// Called by Xlib, with the connection locked, for every key event it reads: no Xlib calls here.
Bool record_key_event(Display* display, XEvent* event, xEvent* wire) {
    KeyEventLog& log = key_event_log();
    const EventConverter convert =
        (wire->u.u.type & 0x7F) == KeyPress ? log.convert_press : log.convert_release;
    if (convert(display, event, wire) == False) return False;
    const uint32_t stamp = log.next_stamp++;
    log.events.push_back({event->xkey, stamp});
    event->xkey.x = static_cast<int>(stamp);  // the key callbacks ignore the pointer otherwise
    return True;
}

void record_key_events() {
    KeyEventLog& log = key_event_log();
    Display* display = glXGetCurrentDisplay();
    if (display == nullptr) return;
    log.convert_press = XESetWireToEvent(display, KeyPress, record_key_event);
    log.convert_release = XESetWireToEvent(display, KeyRelease, record_key_event);
    log.display = display;
}

// X reports a held key's repeats as a release and a press at the same time; the intake is given
// the presses only.
bool repeat_follows(const XKeyEvent& release) {
    const std::deque<RecordedKeyEvent>& events = key_event_log().events;
    if (events.empty()) return false;
    const XKeyEvent& next = events.front().event;
    return next.type == KeyPress && next.keycode == release.keycode && next.time == release.time;
}

void deliver_key(const XKeyEvent& event, int32_t code) {
    int32_t& pressed = key_event_log().pressed_codes[event.keycode & 0xFF];
    if (code == 0) code = key_character_0;
    if (event.type == KeyPress) {
        pressed = code;
        handle_key_down(code);
        return;
    }
    if (repeat_follows(event)) return;
    if (pressed != 0) code = pressed;
    pressed = 0;
    handle_key_up(code);
}

void deliver_unreported(const XKeyEvent& event) {
    XKeyEvent copy = event;
    KeySym symbol = 0;
    char text[8];
    XLookupString(&copy, text, sizeof text, &symbol, nullptr);
    const KeySym base = XLookupKeysym(&copy, 0);
    for (const UnreportedKey& key : unreported_keys) {
        if (key.symbol != symbol && key.symbol != base) continue;
        deliver_key(event, (event.state & ControlMask) != 0 ? key.code_with_ctrl : key.code);
        return;
    }
}

// Retires the `count` oldest records: events freeglut dispatched without a callback.
void retire_passed_over(size_t count) {
    std::deque<RecordedKeyEvent>& events = key_event_log().events;
    for (size_t i = 0; i < count && !events.empty(); ++i) {
        const XKeyEvent event = events.front().event;
        events.pop_front();
        deliver_unreported(event);
    }
}

// In a key callback: the recorded event it reports, after the ones before it were retired.
std::optional<XKeyEvent> take_reported_event(int x) {
    std::deque<RecordedKeyEvent>& events = key_event_log().events;
    if (events.empty()) return std::nullopt;
    // Stamps rise by one along the log, so the event's place follows from the first one's.
    const auto stamp = static_cast<uint32_t>(x);
    const size_t place = stamp - events.front().stamp;
    if (place >= events.size() || events[place].stamp != stamp) return std::nullopt;
    retire_passed_over(place);
    const XKeyEvent event = events.front().event;
    events.pop_front();
    return event;
}

Bool count_key_event(Display*, XEvent* event, XPointer count) {
    if (event->type == KeyPress || event->type == KeyRelease) ++*reinterpret_cast<size_t*>(count);
    return False;  // looks at every queued event and takes none
}

// Between freeglut's event batches: every recorded event no longer queued has been dispatched,
// and the ones left in the log had no callback.
void retire_dispatched_key_events() {
    KeyEventLog& log = key_event_log();
    if (log.display == nullptr || log.events.empty()) return;
    size_t queued = 0;
    XEvent unused;
    XCheckIfEvent(log.display, &unused, count_key_event, reinterpret_cast<XPointer>(&queued));
    if (log.events.size() > queued) retire_passed_over(log.events.size() - queued);
}

bool is_ascii_letter(unsigned char character) {
    return (character | 0x20) >= 'a' && (character | 0x20) <= 'z';
}

// With Ctrl, X gives control codes that the character alone cannot tell apart (Return and Ctrl+M
// are both 13, Ctrl+8 is 127). The key's character without Ctrl can: a letter takes the intake's
// rule (upper case with Shift), any other key stays itself and the translation table's Ctrl
// column gives its control code.
int32_t character_key_code(const XKeyEvent& event, unsigned char reported) {
    if ((event.state & ControlMask) == 0) return key_code_from_character(reported, false, false);
    XKeyEvent without_ctrl = event;
    without_ctrl.state &= ~static_cast<unsigned>(ControlMask);
    char text[8];
    KeySym symbol = 0;
    const bool shift = (event.state & ShiftMask) != 0;
    if (XLookupString(&without_ctrl, text, sizeof text, &symbol, nullptr) != 1) {
        return key_code_from_character(reported, true, shift);
    }
    auto character = static_cast<unsigned char>(text[0]);
    if (is_ascii_letter(character)) {
        character = static_cast<unsigned char>(shift ? character & ~0x20 : character | 0x20);
    }
    return key_code_from_character(character, false, false);
}

// `stamp` is the x freeglut passes: the reported event's place in the log.
void report_character(unsigned char character, int stamp, int type) {
    const std::optional<XKeyEvent> event = take_reported_event(stamp);
    if (!event || event->type != type) {
        on_character_key(character, type == KeyPress);
        return;
    }
    deliver_key(*event, character_key_code(*event, character));
}

void report_special(int key, int stamp, int type) {
    const std::optional<XKeyEvent> event = take_reported_event(stamp);
    const int32_t code = key_code_from_special(key);
    if (code == 0) return;
    if (!event || event->type != type) {
        on_special_key(key, type == KeyPress);
        return;
    }
    deliver_key(*event, code);
}

void key_down(unsigned char character, int x, int) { report_character(character, x, KeyPress); }
void key_up(unsigned char character, int x, int) { report_character(character, x, KeyRelease); }
void special_down(int key, int x, int) { report_special(key, x, KeyPress); }
void special_up(int key, int x, int) { report_special(key, x, KeyRelease); }
// The mouse is registered with the window system but never read by this program.
void mouse_button(int, int, int, int) {}
void mouse_motion(int, int) {}
void mouse_wheel(int, int, int, int) {}

void window_closing() {
    window_state().window_open = false;
    request_close();
}

// freeglut's fatal errors (no display, no context) would otherwise exit through the C library
// from the window thread while the other threads run.
void window_system_failed(const char* format, va_list arguments) {
    std::fputs("tarrowgate: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    platform::exit_process(1);
}

}  // namespace

void open_window(int argc, char** argv) {
    WindowState& state = window_state();
    glutInitErrorFunc(window_system_failed);
    // freeglut has a variant of glutInit that also takes the exit function only on another
    // platform; here exits go through window_system_failed instead.
    glutInit(&argc, argv);
    // A close request from the window manager only asks the runtime to shut down.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    glutInitDisplayMode(display_mode);
    glutInitWindowSize(initial_width, initial_height);
    if (glutGet(GLUT_DISPLAY_MODE_POSSIBLE) == 0) platform::exit_process(1);
    glutCreateWindow("Untitled");
    state.window_open = true;
    runtime_signals().window_created.store(1);

    const GLenum loader = glewInit();
    if (loader != GLEW_OK) {
        show_alert(reinterpret_cast<const char*>(glewGetErrorString(loader)));
    }
    state.framebuffer_objects = glewIsSupported("GL_EXT_framebuffer_object") != GL_FALSE;
    make_band_texture();
    record_key_events();

    glutDisplayFunc(present_frame);
    glutTimerFunc(8, tick_redisplay, 0);
    glutKeyboardFunc(key_down);
    glutKeyboardUpFunc(key_up);
    glutSpecialFunc(special_down);
    glutSpecialUpFunc(special_up);
    glutMouseFunc(mouse_button);
    glutMotionFunc(mouse_motion);
    glutPassiveMotionFunc(mouse_motion);
    glutReshapeFunc(note_window_size);
    glutMouseWheelFunc(mouse_wheel);
    glutCloseFunc(window_closing);
    // Alt+Enter, recognised by the key intake, cycles this window's full-screen variants.
    set_key_intake_hooks(KeyIntakeHooks{cycle_fullscreen});
}

void open_window_and_run(int argc, char** argv) {
    open_window(argc, argv);
    glutMainLoop();
    // The loop gives control back once the window is gone; the housekeeping thread's shutdown
    // ends the process.
    for (;;) platform::sleep_ms(100);
}

void tick_redisplay(int) {
    WindowState& state = window_state();
    // freeglut keeps timers after the window is gone, and a redisplay then would be an error.
    if (!state.window_open) return;
    retire_dispatched_key_events();
    glutPostRedisplay();
    platform::sleep_ms(4);
    glutTimerFunc(static_cast<unsigned>(redisplay_interval_ms(state.display_rate)),
                  tick_redisplay, 0);
}

void note_window_size(int width, int height) {
    WindowState& state = window_state();
    state.previous_window_width = state.window_width;
    state.previous_window_height = state.window_height;
    state.window_width = width;
    state.window_height = height;
    state.reshape_requested = false;
    state.reshape_pending = true;
    state.drawing_mode_set = false;
}

void present_frame() {
    WindowState& state = window_state();
    if (state.presenting) return;
    state.presenting = true;
    presentation_pass(state);
    state.presenting = false;
}

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
