// The real window on a private X server. Each case runs the window in a child process (the
// window system can be set up only once per process, and the close case ends its process), and
// reads the window back through an X connection of its own.
#include "runtime/display/window.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/errors.h"
#include "runtime/core/runtime.h"
#include "runtime/core/signals.h"
#include "runtime/display/frames.h"
#include "runtime/display/private/frame_exchange.h"
#include "runtime/display/render.h"
#include "runtime/input/clock.h"
#include "runtime/input/key_intake.h"
#include "runtime/input/key_queue.h"
#include "runtime/input/low_memory.h"
#include "runtime/core/rt_string.h"
#include "runtime/platform/platform.h"
#include "runtime/text/screen.h"
#include "tests/support/fresh_text_runtime.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// An Xvfb of its own; -displayfd lets the server pick a free number, so parallel tests cannot
// collide.
class PrivateServer {
public:
    PrivateServer(int width, int height) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int null_fd = open("/dev/null", O_WRONLY);
            dup2(null_fd, STDOUT_FILENO);
            dup2(null_fd, STDERR_FILENO);
            const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline && poll(&p, 1, 100) >= 0) {
            if ((p.revents & (POLLIN | POLLHUP)) == 0) continue;
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~PrivateServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const { return !name_.empty(); }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

struct ChildResult {
    bool exited = false;  // on its own, within the time allowed
    int status = -1;
    std::string report;   // what the child wrote: empty when every check held
    milliseconds took{0};
};

// Runs `body` in a child on `display`; the child writes the failures it found to the pipe.
// `while_running` runs in the parent meanwhile (it may wait for the window and act on it).
ChildResult run_child(const std::string& display, const std::function<std::string()>& body,
                      const std::function<void()>& while_running, milliseconds timeout) {
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        setenv("DISPLAY", display.c_str(), 1);
        const std::string report = body();
        const ssize_t written = write(fds[1], report.data(), report.size());
        _exit(written == static_cast<ssize_t>(report.size()) ? 0 : 4);
    }
    close(fds[1]);
    const auto started = Clock::now();
    if (while_running) while_running();
    const auto acted = Clock::now();
    const auto deadline = started + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result.exited = true;
            break;
        }
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(milliseconds(2));
    }
    result.took = std::chrono::duration_cast<milliseconds>(Clock::now() - acted);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) result.report.append(buffer, got);
    close(fds[0]);
    return result;
}

// --- X side --------------------------------------------------------------------------------

std::string window_name(Display* display, Window window) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        result = name;
        XFree(name);
    }
    return result;
}

Window find_named_window(Display* display, Window from, const std::string& name) {
    if (window_name(display, from) == name) return from;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, from, &root, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        found = find_named_window(display, children[i], name);
    }
    if (children != nullptr) XFree(children);
    return found;
}

// A capture of a window that stands partly off the screen fails with an X error; the default
// handler would end the process.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

struct XConnection {
    Display* display = nullptr;
    explicit XConnection(const char* name) : display(XOpenDisplay(name)) {
        XSetErrorHandler(ignore_x_error);
    }
    ~XConnection() {
        if (display != nullptr) XCloseDisplay(display);
    }
    Window find(const char* title) {
        return find_named_window(display, DefaultRootWindow(display), title);
    }
};

struct Capture {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB
};

bool capture_window(Display* display, Window window, Capture& capture) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    capture.width = attributes.width;
    capture.height = attributes.height;
    capture.rgb.resize(static_cast<size_t>(capture.width) * static_cast<size_t>(capture.height));
    for (int y = 0; y < capture.height; ++y) {
        for (int x = 0; x < capture.width; ++x) {
            capture.rgb[static_cast<size_t>(y) * static_cast<size_t>(capture.width) +
                        static_cast<size_t>(x)] =
                static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
        }
    }
    XDestroyImage(image);
    return true;
}

void send_key(Display* display, Window window, KeySym symbol, unsigned state, bool down) {
    XEvent event{};
    event.xkey.type = down ? KeyPress : KeyRelease;
    event.xkey.display = display;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.time = CurrentTime;
    event.xkey.same_screen = True;
    event.xkey.state = state;
    event.xkey.keycode = XKeysymToKeycode(display, symbol);
    XSendEvent(display, window, True, down ? KeyPressMask : KeyReleaseMask, &event);
    XFlush(display);
}

void ask_window_to_close(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// --- Child side ----------------------------------------------------------------------------

// Runs the window's event loop step by step until `done` holds or the time is up.
bool pump_until(const std::function<bool()>& done, milliseconds timeout = milliseconds(5000)) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        glutMainLoopEvent();
        if (done()) return true;
        platform::sleep_ms(1);
    }
    return false;
}

// The window "Untitled", placed wholly on the screen and painted there: with no window
// manager it opens at (-1, -1), and a window partly off the screen cannot be read back. The
// strips that come into view are painted at the next frame serial, as a builder pass gives.
Window placed_window(XConnection& x) {
    Window window = 0;
    if (!pump_until([&] { return (window = x.find("Untitled")) != 0; })) return 0;
    XMoveWindow(x.display, window, 0, 0);
    XSync(x.display, False);
    const int32_t swaps = window_report().swaps;
    frame_exchange().latest_frame_serial.fetch_add(1);
    if (!pump_until([swaps] { return window_report().swaps > swaps; })) return 0;
    return window;
}

const DisplayFrame* shown_frame() {
    for (const DisplayFrame& slot : frame_exchange().slots) {
        if (slot.state.load() == frame_on_screen) return &slot;
    }
    return nullptr;
}

bool presented_latest() {
    const FrameExchange& exchange = frame_exchange();
    return exchange.presented_frame_serial.load() == exchange.latest_frame_serial.load();
}

// The page, the builder and a window, as start-up leaves them, without the worker threads.
void open_test_window() {
    reset_frame_slots();
    load_palettes_and_fonts();
    fresh_text_runtime();
    reset_key_intake();
}

void start_window() {
    static char program[] = "window_test";
    static char* arguments[] = {program, nullptr};
    open_window(1, arguments);
}

void fill_page(const std::function<TextCell(int32_t index)>& cell_at) {
    Image& page = *visible_image();
    for (int32_t i = 0; i < page.width * page.height; ++i) page.cells[i] = cell_at(i);
}

std::string compare_with_frame(const Capture& capture, const DisplayFrame& frame) {
    if (capture.width != frame.width || capture.height != frame.height) {
        return "window " + std::to_string(capture.width) + "x" + std::to_string(capture.height) +
               ", frame " + std::to_string(frame.width) + "x" + std::to_string(frame.height);
    }
    int differing = 0;
    std::string first;
    for (int32_t i = 0; i < frame.width * frame.height; ++i) {
        const uint32_t want = frame.pixels[static_cast<size_t>(i)] & 0xFFFFFFu;
        if (capture.rgb[static_cast<size_t>(i)] == want) continue;
        if (differing++ == 0) {
            char text[96];
            std::snprintf(text, sizeof text, " first at (%d, %d): %06x, frame %06x",
                          i % frame.width, i / frame.width, capture.rgb[static_cast<size_t>(i)],
                          want);
            first = text;
        }
    }
    return differing == 0 ? "" : std::to_string(differing) + " pixels differ;" + first;
}

// Polls the window until it shows `frame` exactly (the swap may reach the server a little
// later than the call returns).
std::string window_shows(XConnection& x, Window window, const DisplayFrame& frame) {
    std::string mismatch = "no capture";
    const auto deadline = Clock::now() + milliseconds(2000);
    while (Clock::now() < deadline) {
        glutMainLoopEvent();
        Capture capture;
        if (capture_window(x.display, window, capture)) {
            mismatch = compare_with_frame(capture, frame);
            if (mismatch.empty()) return "";
        }
        platform::sleep_ms(5);
    }
    return mismatch;
}

// Every character, every foreground and background and the blink bit.
TextCell varied_cell(int32_t index) {
    return TextCell{static_cast<uint8_t>(index % 256), static_cast<uint8_t>((index * 37) % 256)};
}

std::string shows_exactly_the_frame() {
    open_test_window();
    fill_page(varied_cell);
    build_frame();
    start_window();
    if (!pump_until([] { return window_report().swaps >= 1 && presented_latest(); })) {
        return "the first frame was never presented";
    }
    XConnection x(nullptr);
    const Window window = placed_window(x);
    if (window == 0) return "no window titled \"Untitled\" came up";
    const DisplayFrame* frame = shown_frame();
    if (frame == nullptr) return "no frame on screen after a presentation";
    std::string report = window_shows(x, window, *frame);
    if (!report.empty()) return "first frame: " + report;
    if (window_report().texture_uploads != 1) return "more than one upload for one frame";

    // Repaints of the same frame reuse its texture.
    const int32_t swaps = window_report().swaps;
    const int64_t serial = frame_exchange().latest_frame_serial.load();
    frame_exchange().latest_frame_serial.store(serial + 1);  // as an unchanged builder pass does
    if (!pump_until([swaps] { return window_report().swaps > swaps; })) {
        return "a newer serial was not repainted";
    }
    if (window_report().texture_uploads != 1) return "a repaint uploaded the frame again";

    // A changed page shows too.
    fill_page([](int32_t i) { return TextCell{static_cast<uint8_t>('A' + i % 26), 0x1E}; });
    build_frame();
    if (!pump_until([] { return window_report().texture_uploads == 2 && presented_latest(); })) {
        return "the second frame was never presented";
    }
    frame = shown_frame();
    report = window_shows(x, window, *frame);
    return report.empty() ? "" : "second frame: " + report;
}

std::string pause_holds_the_picture_and_break_ends() {
    open_test_window();
    fill_page([](int32_t i) { return TextCell{static_cast<uint8_t>('0' + i % 10), 0x07}; });
    build_frame();
    start_window();
    if (!pump_until([] { return window_report().swaps >= 1 && presented_latest(); })) {
        return "the first frame was never presented";
    }
    XConnection x(nullptr);
    const Window window = placed_window(x);
    if (window == 0) return "no window came up";
    const DisplayFrame* first = shown_frame();
    const std::vector<uint32_t> first_pixels(first->pixels.get(),
                                             first->pixels.get() + first->width * first->height);
    const int32_t frame_width = first->width, frame_height = first->height;

    RuntimeSignals& signals = runtime_signals();
    send_key(x.display, window, XK_Pause, 0, true);
    send_key(x.display, window, XK_Pause, 0, false);
    if (!pump_until([&] { return (signals.pause_requested.load() & 1) != 0; })) {
        return "the Pause key did not pause";
    }
    if (signals.event_pending.load() != 1) return "Pause did not set event_pending";
    if (signals.exit_now.load() != 0) return "Pause alone set exit_now";

    // A new frame while paused is drawn but not swapped in.
    const WindowReport before = window_report();
    fill_page([](int32_t i) { return TextCell{static_cast<uint8_t>(219), static_cast<uint8_t>(1 + i % 15)}; });
    build_frame();
    if (!pump_until([&] { return window_report().presentations > before.presentations; })) {
        return "no presentation while paused";
    }
    if (window_report().swaps != before.swaps) return "the buffers were swapped while paused";
    DisplayFrame old{};
    old.width = frame_width;
    old.height = frame_height;
    old.pixels = std::make_unique<uint32_t[]>(first_pixels.size());
    std::copy(first_pixels.begin(), first_pixels.end(), old.pixels.get());
    std::string report = window_shows(x, window, old);
    if (!report.empty()) return "while paused the picture changed: " + report;

    send_key(x.display, window, XK_Pause, ControlMask, true);
    send_key(x.display, window, XK_Pause, ControlMask, false);
    if (!pump_until([&] { return signals.exit_now.load() != 0; })) {
        return "Ctrl+Pause did not set exit_now";
    }
    return "";
}

std::string resized_window_snaps_back() {
    open_test_window();
    fill_page(varied_cell);
    build_frame();
    start_window();
    if (!pump_until([] { return window_report().swaps >= 1; })) return "never presented";
    XConnection x(nullptr);
    const Window window = placed_window(x);
    if (window == 0) return "no window came up";
    XResizeWindow(x.display, window, 900, 700);
    XFlush(x.display);
    if (!pump_until([] { return window_report().window_width == 900; })) {
        return "the resize was never reported";
    }
    if (!pump_until([] {
            const WindowReport r = window_report();
            return r.window_width == 640 && r.window_height == 400;
        })) {
        return "the window stayed " + std::to_string(window_report().window_width) + "x" +
               std::to_string(window_report().window_height);
    }
    XWindowAttributes attributes{};
    XGetWindowAttributes(x.display, window, &attributes);
    if (attributes.width != 640 || attributes.height != 400) {
        return "the X server sees " + std::to_string(attributes.width) + "x" +
               std::to_string(attributes.height);
    }
    const std::string report = window_shows(x, window, *shown_frame());
    return report.empty() ? "" : "after the snap-back: " + report;
}

constexpr uint32_t light_grey = 0xAAAAAAu;

// One row of the window as runs of colour: "96 000000, 1728 aaaaaa, 96 000000".
std::string runs_of_row(const Capture& capture, int y) {
    std::string runs;
    int start = 0;
    for (int x = 1; x <= capture.width; ++x) {
        const size_t row = static_cast<size_t>(y) * static_cast<size_t>(capture.width);
        if (x < capture.width &&
            capture.rgb[row + static_cast<size_t>(x)] == capture.rgb[row + static_cast<size_t>(start)]) {
            continue;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%s%d %06x", runs.empty() ? "" : ", ", x - start,
                      capture.rgb[row + static_cast<size_t>(start)]);
        runs += text;
        start = x;
    }
    return runs;
}

// Waits for the full-screen state the presses asked for, then for the picture to settle.
std::string wait_for_mode(XConnection& x, Window window, int32_t mode, int width, int height,
                          const std::string& row_runs, int y) {
    if (!pump_until([&] {
            const WindowReport r = window_report();
            return r.fullscreen_mode == mode && r.fullscreen_request == -1 &&
                   r.window_width == width && r.window_height == height;
        })) {
        const WindowReport r = window_report();
        return "mode " + std::to_string(r.fullscreen_mode) + " request " +
               std::to_string(r.fullscreen_request) + " window " + std::to_string(r.window_width) +
               "x" + std::to_string(r.window_height);
    }
    std::string seen = "no capture";
    const auto deadline = Clock::now() + milliseconds(3000);
    while (Clock::now() < deadline) {
        glutMainLoopEvent();
        Capture capture;
        if (capture_window(x.display, window, capture) && capture.width == width &&
            capture.height == height) {
            seen = runs_of_row(capture, y);
            if (seen == row_runs) return "";
        }
        platform::sleep_ms(5);
    }
    return "mode " + std::to_string(mode) + ", row " + std::to_string(y) + ": " + seen;
}

std::string fullscreen_variants_on_a_wide_screen() {
    open_test_window();
    // Spaces on light grey: every frame pixel is (170, 170, 170).
    fill_page([](int32_t) { return TextCell{32, 0x70}; });
    build_frame();
    start_window();
    if (!pump_until([] { return window_report().swaps >= 1; })) return "never presented";
    XConnection x(nullptr);
    const Window window = placed_window(x);
    if (window == 0) return "no window came up";

    cycle_fullscreen();  // stretched
    std::string report = wait_for_mode(x, window, 1, 1920, 1080, "1920 aaaaaa", 540);
    if (!report.empty()) return "stretched: " + report;
    cycle_fullscreen();  // stretched, smoothed
    cycle_fullscreen();  // aspect kept
    report = wait_for_mode(x, window, 2, 1920, 1080, "96 000000, 1728 aaaaaa, 96 000000", 540);
    if (!report.empty()) return "aspect kept: " + report;
    report = wait_for_mode(x, window, 2, 1920, 1080, "96 000000, 1728 aaaaaa, 96 000000", 0);
    if (!report.empty()) return "aspect kept, top row: " + report;
    cycle_fullscreen();  // aspect kept, smoothed
    cycle_fullscreen();  // back to the window
    report = wait_for_mode(x, window, 0, 640, 400, "640 aaaaaa", 200);
    return report.empty() ? "" : "back in the window: " + report;
}

// --- Keys typed on the server's keyboard ----------------------------------------------------

// What the program reads after some keys: the hits, and each keystroke as read_key returns it,
// its bytes as numbers ("0 15" for Shift+Tab).
struct ReadKeys {
    std::vector<int32_t> hits;
    std::vector<std::string> keystrokes;
};

std::string describe(const ReadKeys& keys) {
    std::string text = "hits {";
    for (size_t i = 0; i < keys.hits.size(); ++i) {
        text += (i == 0 ? "" : " ") + std::to_string(keys.hits[i]);
    }
    text += "} keystrokes {";
    for (size_t i = 0; i < keys.keystrokes.size(); ++i) {
        text += (i == 0 ? "\"" : ", \"") + keys.keystrokes[i] + "\"";
    }
    return text + "}";
}

void collect_hits(ReadKeys& keys) {
    for (int32_t hit = read_key_hit(); hit != 0; hit = read_key_hit()) keys.hits.push_back(hit);
}

void collect_keystrokes(ReadKeys& keys) {
    for (;;) {
        const uint32_t mark = temp_mark();
        const RtString* key = read_key();
        std::string bytes;
        for (int32_t i = 0; i < key->length; ++i) {
            bytes += (i == 0 ? "" : " ") + std::to_string(static_cast<uint8_t>(key->data[i]));
        }
        release_temporaries(mark);
        if (bytes.empty()) return;
        keys.keystrokes.push_back(bytes);
    }
}

// Key events through the X test extension, as "Control_L+ Return+ Return- Control_L-" (+ press,
// - release), a few milliseconds apart as a quick typist makes them.
std::string type_keys(Display* display, const std::string& events) {
    size_t start = 0;
    while (start < events.size()) {
        size_t end = events.find(' ', start);
        if (end == std::string::npos) end = events.size();
        const std::string name = events.substr(start, end - start - 1);
        const KeyCode keycode = XKeysymToKeycode(display, XStringToKeysym(name.c_str()));
        if (keycode == 0) return "the server's keyboard has no key " + name;
        XTestFakeKeyEvent(display, keycode, events[end - 1] == '+' ? True : False, 3);
        start = end + 1;
    }
    XSync(display, False);
    return "";
}

// The game window, placed, painted and given the keyboard focus; typing goes through `typist`.
Window focused_window(XConnection& x) {
    open_test_window();
    reset_key_queues();
    fill_page(varied_cell);
    build_frame();
    start_window();
    if (!pump_until([] { return window_report().swaps >= 1; })) return 0;
    const Window window = placed_window(x);
    if (window == 0) return 0;
    XSetInputFocus(x.display, window, RevertToParent, CurrentTime);
    XSync(x.display, False);
    return window;
}

// Waits for `count` hits, then a few display ticks more: keys freeglut passes over are delivered
// at the next tick at the latest, and anything extra would show.
ReadKeys read_typed_keys(size_t count) {
    ReadKeys keys;
    pump_until([&] {
        collect_hits(keys);
        return keys.hits.size() >= count;
    });
    const auto settled = Clock::now() + milliseconds(60);
    pump_until([&] {
        collect_hits(keys);
        return Clock::now() > settled;
    });
    collect_keystrokes(keys);
    return keys;
}

struct TypedKeys {
    const char* events;
    ReadKeys want;
};

// Codes: left Shift 100304, left Ctrl 100306, left Alt 100308, Pause 100019; extended keys
// scan x 256.
const std::vector<TypedKeys> typed_keys = {
    {"a+ a-", {{97, -97}, {"97"}}},
    {"Shift_L+ a+ a- Shift_L-", {{100304, 65, -65, -100304}, {"65"}}},
    {"Return+ Return-", {{13, -13}, {"13"}}},
    {"Control_L+ Return+ Return- Control_L-", {{100306, 13, -13, -100306}, {"10"}}},
    {"Control_L+ m+ m- Control_L-", {{100306, 109, -109, -100306}, {"13"}}},
    {"BackSpace+ BackSpace-", {{8, -8}, {"8"}}},
    {"Control_L+ BackSpace+ BackSpace- Control_L-", {{100306, 8, -8, -100306}, {"127"}}},
    {"Control_L+ h+ h- Control_L-", {{100306, 104, -104, -100306}, {"8"}}},
    {"Tab+ Tab-", {{9, -9}, {"9"}}},
    {"Shift_L+ Tab+ Tab- Shift_L-", {{100304, 9, -9, -100304}, {"0 15"}}},
    {"Control_L+ Tab+ Tab- Control_L-", {{100306, 9, -9, -100306}, {"0 148"}}},
    {"Control_L+ Shift_L+ Tab+ Tab- Shift_L- Control_L-",
     {{100306, 100304, 9, -9, -100304, -100306}, {"0 148"}}},
    {"Alt_L+ Tab+ Tab- Alt_L-", {{100308, 9, -9, -100308}, {}}},
    {"Control_L+ i+ i- Control_L-", {{100306, 105, -105, -100306}, {"9"}}},
    {"Control_L+ j+ j- Control_L-", {{100306, 106, -106, -100306}, {"10"}}},
    {"Control_L+ 2+ 2- Control_L-", {{100306, 50, -50, -100306}, {"0 3"}}},
    {"Control_L+ 8+ 8- Control_L-", {{100306, 56, -56, -100306}, {}}},
    {"Control_L+ bracketleft+ bracketleft- Control_L-", {{100306, 91, -91, -100306}, {"27"}}},
    {"Control_L+ space+ space- Control_L-", {{100306, 32, -32, -100306}, {"32"}}},
    {"Alt_L+ a+ a- Alt_L-", {{100308, 97, -97, -100308}, {"0 30"}}},
    {"Up+ Up-", {{0x4800, -0x4800}, {"0 72"}}},
    {"F1+ F1-", {{0x3B00, -0x3B00}, {"0 59"}}},
    {"Shift_L+ F1+ F1- Shift_L-", {{100304, 0x3B00, -0x3B00, -100304}, {"0 84"}}},
    {"Escape+ Escape-", {{27, -27}, {"27"}}},
    {"Delete+ Delete-", {{0x5300, -0x5300}, {"0 83"}}},
    // The modifier let go first: the key's release is its press's code all the same.
    {"Control_L+ 2+ Control_L- 2-", {{100306, 50, -100306, -50}, {"0 3"}}},
    {"Control_L+ Return+ Control_L- Return-", {{100306, 13, -100306, -13}, {"10"}}},
    {"Shift_L+ a+ Shift_L- a-", {{100304, 65, -100304, -65}, {"65"}}},
    {"Shift_L+ Tab+ Shift_L- Tab-", {{100304, 9, -100304, -9}, {"0 15"}}},
    // Pause takes its place among the keys: the key after it only resumes.
    {"Pause+ Pause- a+ a-", {{-100019, -97}, {}}},
};

std::string typed_keys_reach_the_intake() {
    XConnection x(nullptr);
    if (focused_window(x) == 0) return "no window came up";
    std::string report;
    for (const TypedKeys& typed : typed_keys) {
        reset_key_queues();
        const std::string typing = type_keys(x.display, typed.events);
        if (!typing.empty()) return typing;
        const ReadKeys got = read_typed_keys(typed.want.hits.size());
        const std::string want = describe(typed.want);
        if (describe(got) != want) {
            report += std::string(typed.events) + ": " + describe(got) + ", want " + want + "\n";
        }
        // Every key is up again: nothing may stay held, whatever code its press gave.
        for (int32_t hit : got.hits) {
            if (key_is_down(hit < 0 ? -hit : hit)) {
                report += std::string(typed.events) + ": " + std::to_string(hit) + " still held\n";
            }
        }
        if (key_is_down(key_character_0)) report += std::string(typed.events) + ": 0 held\n";
        if ((runtime_signals().pause_requested.load() & 1) != 0) {
            report += std::string(typed.events) + ": left paused\n";
        }
    }
    return report;
}

// A held key repeats as further presses: one release at the end, Insert switched once.
std::string held_insert_repeats_as_presses() {
    XConnection x(nullptr);
    if (focused_window(x) == 0) return "no window came up";
    XkbSetAutoRepeatRate(x.display, XkbUseCoreKbd, 100, 30);
    const std::string typing = type_keys(x.display, "Insert+");
    if (!typing.empty()) return typing;
    ReadKeys keys;
    if (!pump_until([&] {
            collect_hits(keys);
            return keys.hits.size() >= 4;
        })) {
        return "no repeats: " + describe(keys);
    }
    type_keys(x.display, "Insert-");
    pump_until([&] {
        collect_hits(keys);
        return !keys.hits.empty() && keys.hits.back() < 0;
    });
    collect_keystrokes(keys);
    std::string report;
    for (size_t i = 0; i + 1 < keys.hits.size(); ++i) {
        if (keys.hits[i] != 0x5200) report = "a hit other than the Insert press before the end";
    }
    if (keys.hits.back() != -0x5200) report = "no release at the end";
    if (keys.keystrokes.size() != keys.hits.size() - 1) {
        report += "; one keystroke per press wanted";
    }
    if (!key_is_down(state_insert_on)) report += "; insert mode switched an even number of times";
    return report.empty() ? "" : report + ": " + describe(keys);
}

// A game waiting for a command: the statement checks let the shutdown park it.
void waiting_game() {
    for (;;) {
        platform::sleep_ms(1);
        if (runtime_signals().event_pending.load() != 0) statement_check(1);
    }
}

void create_first_screen() { set_screen_mode(0, 0, 0, 0, 0, 1); }

std::string whole_runtime_until_closed() {
    platform::prepare_for_threads();
    const StartupSteps steps{reset_frame_slots,   init_image_table, init_low_memory,
                             init_clock_base,     sample_keyboard,  load_palettes_and_fonts,
                             create_first_screen, start_worker_threads};
    const WorkerHooks hooks{waiting_game, write_tick_count, housekeeping_frame_step,
                            synchronise_lock_keys, clock_ms, nullptr};
    static char program[] = "window_test";
    static char* arguments[] = {program, nullptr};
    run_startup(steps, hooks, 1, arguments);
    open_window_and_run(1, arguments);
}

void expect_child_passed(const ChildResult& result) {
    EXPECT_TRUE(result.exited) << "the window child did not finish";
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.report, "");
}

class RealWindow : public testing::Test {
protected:
    void run(int screen_width, int screen_height, std::string (*body)()) {
        PrivateServer server(screen_width, screen_height);
        ASSERT_TRUE(server.ready()) << "could not start Xvfb";
        expect_child_passed(run_child(server.name(), body, nullptr, milliseconds(30000)));
    }
};

TEST_F(RealWindow, ShowsExactlyTheFramePixelsAndUploadsOncePerFrame) {
    run(1280, 1024, shows_exactly_the_frame);
}

TEST_F(RealWindow, PauseKeyHoldsThePictureAndCtrlPauseIsBreak) {
    run(1280, 1024, pause_holds_the_picture_and_break_ends);
}

TEST_F(RealWindow, AResizedWindowSnapsBackTo640x400) {
    run(1280, 1024, resized_window_snaps_back);
}

TEST_F(RealWindow, KeysTypedOnTheKeyboardReachBothQueuesAsTheirKeys) {
    run(1280, 1024, typed_keys_reach_the_intake);
}

TEST_F(RealWindow, AHeldKeyRepeatsAsFurtherPresses) {
    run(1280, 1024, held_insert_repeats_as_presses);
}

TEST_F(RealWindow, FullScreenVariantsOnASixteenByNineScreen) {
    run(1920, 1080, fullscreen_variants_on_a_wide_screen);
}

TEST(RealWindowClose, CloseRequestEndsTheProcessWithStatusZeroQuickly) {
    PrivateServer server(1280, 1024);
    ASSERT_TRUE(server.ready()) << "could not start Xvfb";
    std::string title;
    bool asked = false;
    const ChildResult result = run_child(
        server.name(), whole_runtime_until_closed,
        [&] {
            XConnection x(server.name().c_str());
            if (x.display == nullptr) return;
            // Start-up waits for the next wall-clock second before the window opens.
            Window window = 0;
            const auto deadline = Clock::now() + std::chrono::seconds(10);
            while (window == 0 && Clock::now() < deadline) {
                std::this_thread::sleep_for(milliseconds(20));
                window = x.find("Untitled");
            }
            if (window == 0) return;
            title = window_name(x.display, window);
            std::this_thread::sleep_for(milliseconds(300));  // the game is under way
            ask_window_to_close(x.display, window);
            asked = true;
        },
        milliseconds(15000));
    ASSERT_TRUE(asked) << "the window never appeared";
    EXPECT_EQ(title, "Untitled");
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, 0);
    EXPECT_LT(result.took.count(), 500) << "from the close request to the exit";
}

TEST(RealWindowFailure, NoDisplayEndsTheProcessWithStatusOne) {
    // Nothing listens on this display number, so the window system cannot start.
    const ChildResult result = run_child(":9873", whole_runtime_until_closed, nullptr,
                                         milliseconds(10000));
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1);
}

}  // namespace
