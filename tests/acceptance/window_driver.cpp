#include "tests/acceptance/window_driver.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace acceptance {

namespace {

constexpr char window_title[] = "Untitled";
// Time between two key events: a fast typist, and enough for the program to see a release
// before the next press of the same key.
constexpr std::chrono::milliseconds key_event_gap{12};
constexpr std::chrono::milliseconds poll_interval{30};
// A decode error that persists over this many captures in a row is no passing frame.
constexpr int persistent_decode_failures = 6;

Display* as_display(void* display) { return static_cast<Display*>(display); }

// X errors (a window that went away, a capture during a resize) are answered by the call that
// caused them; the default handler would end the test program instead.
int last_x_error = 0;
int note_x_error(Display*, XErrorEvent* event) {
    last_x_error = event->error_code;
    return 0;
}

bool file_exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string exit_description(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("was killed by signal ") + strsignal(WTERMSIG(status));
    return "ended in an unknown way";
}

std::string window_name(Display* display, Window window) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(display, window, &name) && name != nullptr) {
        result = name;
        XFree(name);
        return result;
    }
    const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, net_name, 0, 256, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        result.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return result;
}

// Depth-first search of the window tree for a mapped window with the given title.
Window find_titled_window(Display* display, Window parent, const std::string& title) {
    Window root = 0, parent_of = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &parent_of, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes{};
        if (window_name(display, children[i]) == title &&
            XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable) {
            found = children[i];
        } else {
            found = find_titled_window(display, children[i], title);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

uint32_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    const unsigned long value = (pixel & mask) >> shift;
    const unsigned long maximum = mask >> shift;
    return static_cast<uint32_t>(maximum == 255 ? value : value * 255 / maximum);
}

// The countdown row changes 30 times a second while a command is typed; every other row holds
// still between two captures taken one after the other.
bool same_apart_from_countdown(const Screen& first, const Screen& second) {
    for (int row = 1; row <= screen_rows; ++row) {
        if (row == 2) continue;
        for (int column = 1; column <= screen_columns; ++column) {
            const DecodedCell& a = first.at(row, column);
            const DecodedCell& b = second.at(row, column);
            if (a.character != b.character || a.foreground != b.foreground ||
                a.background != b.background) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::string artifact_folder() { return ACCEPTANCE_ARTIFACT_DIR; }

std::chrono::steady_clock::time_point now() { return std::chrono::steady_clock::now(); }

void sleep_for(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

WindowSession::~WindowSession() { end_everything(); }

void WindowSession::end_everything() {
    if (program_pid_ > 0 && !program_reaped_) {
        kill(program_pid_, SIGKILL);
        waitpid(program_pid_, &program_status_, 0);
        program_reaped_ = true;
    }
    if (display_ != nullptr) {
        XCloseDisplay(as_display(display_));
        display_ = nullptr;
    }
    if (server_pid_ > 0) {
        kill(server_pid_, SIGTERM);
        int status = 0;
        const auto give_up = now() + std::chrono::seconds(3);
        while (waitpid(server_pid_, &status, WNOHANG) == 0) {
            if (now() > give_up) {
                kill(server_pid_, SIGKILL);
                waitpid(server_pid_, &status, 0);
                break;
            }
            sleep_for(std::chrono::milliseconds(10));
        }
        server_pid_ = -1;
    }
}

bool WindowSession::start_x_server(std::string& error) {
    // A display number of our own: other X servers on this machine keep theirs.
    int candidate = 300 + static_cast<int>(getpid() % 400);
    for (int attempt = 0; attempt < 40; ++attempt, ++candidate) {
        const std::string number = std::to_string(candidate);
        if (file_exists("/tmp/.X" + number + "-lock") ||
            file_exists("/tmp/.X11-unix/X" + number)) {
            continue;
        }
        int ready_pipe[2];
        if (pipe(ready_pipe) != 0) {
            error = "pipe failed";
            return false;
        }
        const pid_t pid = fork();
        if (pid == 0) {
            close(ready_pipe[0]);
            const int null_fd = open("/dev/null", O_RDWR);
            dup2(null_fd, STDIN_FILENO);
            dup2(null_fd, STDOUT_FILENO);
            dup2(null_fd, STDERR_FILENO);
            const std::string display = ":" + number;
            const std::string ready_fd = std::to_string(ready_pipe[1]);
            const std::string screen_size = std::to_string(x_screen_width) + "x" +
                                            std::to_string(x_screen_height) + "x24";
            execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", screen_size.c_str(), "-nolisten",
                   "tcp", "-displayfd", ready_fd.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready_pipe[1]);
        if (pid < 0) {
            close(ready_pipe[0]);
            error = "fork failed";
            return false;
        }
        // Xvfb writes the display number to the pipe once it accepts connections.
        std::string answer;
        pollfd waiting{ready_pipe[0], POLLIN, 0};
        const auto give_up = now() + std::chrono::seconds(15);
        while (now() < give_up && answer.find('\n') == std::string::npos) {
            if (poll(&waiting, 1, 100) > 0) {
                char buffer[32];
                const ssize_t got = read(ready_pipe[0], buffer, sizeof buffer);
                if (got <= 0) break;
                answer.append(buffer, static_cast<size_t>(got));
            }
        }
        close(ready_pipe[0]);
        if (answer.find('\n') != std::string::npos) {
            server_pid_ = pid;
            display_number_ = candidate;
            return true;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
            error = "Xvfb could not be started (is it installed?)";
            return false;
        }
        // Most likely another server took this number meanwhile: try the next one.
    }
    error = "no free display number for a private Xvfb";
    return false;
}

::testing::AssertionResult WindowSession::start(const LaunchOptions& options) {
    std::string error;
    if (!start_x_server(error)) return ::testing::AssertionFailure() << error;
    XSetErrorHandler(note_x_error);
    const std::string display_name = ":" + std::to_string(display_number_);
    display_ = XOpenDisplay(display_name.c_str());
    if (display_ == nullptr) {
        return ::testing::AssertionFailure() << "cannot connect to the private X server "
                                             << display_name;
    }
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(as_display(display_), &event_base, &error_base, &major, &minor)) {
        return ::testing::AssertionFailure() << "the X server has no XTEST extension";
    }

    log_path_ = options.log_path;
    const pid_t pid = fork();
    if (pid == 0) {
        const int null_fd = open("/dev/null", O_RDWR);
        dup2(null_fd, STDIN_FILENO);
        const int log_fd = options.log_path.empty()
                               ? null_fd
                               : open(options.log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log_fd, STDOUT_FILENO);
        dup2(log_fd, STDERR_FILENO);
        setenv("DISPLAY", display_name.c_str(), 1);
        for (const std::string& assignment : options.environment) {
            putenv(const_cast<char*>(assignment.c_str()));
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(options.program.c_str()));
        for (const std::string& argument : options.arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(options.program.c_str(), argv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", options.program.c_str(), std::strerror(errno));
        _exit(127);
    }
    if (pid < 0) return ::testing::AssertionFailure() << "fork failed";
    program_pid_ = pid;

    if (!find_window(std::chrono::seconds(20), error)) {
        return ::testing::AssertionFailure() << error << "\n" << log_tail();
    }
    return ::testing::AssertionSuccess();
}

bool WindowSession::find_window(std::chrono::milliseconds timeout, std::string& error) {
    Display* display = as_display(display_);
    const auto give_up = now() + timeout;
    while (now() < give_up) {
        if (!program_running()) {
            error = "the program " + exit_description(program_status_) +
                    " before its window appeared";
            return false;
        }
        window_ = find_titled_window(display, DefaultRootWindow(display), window_title);
        if (window_ != 0) {
            XSelectInput(display, window_, StructureNotifyMask);
            // No window manager runs: give the window the keyboard focus and the pointer, as
            // a window manager does for the window the user works in.
            XWarpPointer(display, None, window_, 0, 0, 0, 0, 100, 100);
            XSetInputFocus(display, window_, RevertToPointerRoot, CurrentTime);
            XSync(display, False);
            return true;
        }
        sleep_for(std::chrono::milliseconds(20));
    }
    error = "no window titled \"Untitled\" appeared";
    return false;
}

bool WindowSession::program_running() {
    if (program_pid_ <= 0 || program_reaped_) return false;
    const pid_t result = waitpid(program_pid_, &program_status_, WNOHANG);
    if (result == program_pid_) {
        program_reaped_ = true;
        return false;
    }
    return true;
}

void WindowSession::place_on_screen() {
    // The program leaves its position to the system, and with no window manager the window may
    // stand partly off the screen, where it cannot be captured. Place it the way a window
    // manager would.
    Display* display = as_display(display_);
    int x = 0, y = 0;
    Window child = 0;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window_, &attributes) ||
        !XTranslateCoordinates(display, window_, DefaultRootWindow(display), 0, 0, &x, &y,
                               &child)) {
        return;
    }
    const int screen_width = DisplayWidth(display, DefaultScreen(display));
    const int screen_height = DisplayHeight(display, DefaultScreen(display));
    if (x < 0 || y < 0 || x + attributes.width > screen_width ||
        y + attributes.height > screen_height) {
        if (attributes.width <= screen_width && attributes.height <= screen_height) {
            XMoveWindow(display, window_, 16, 16);
            XSync(display, False);
        }
    }
}

WindowGeometry WindowSession::window_geometry() {
    XWindowAttributes attributes{};
    if (display_ == nullptr || window_ == 0 ||
        !XGetWindowAttributes(as_display(display_), window_, &attributes)) {
        return {};
    }
    return {attributes.width, attributes.height};
}

::testing::AssertionResult WindowSession::capture_picture(Picture& picture) {
    Display* display = as_display(display_);
    const WindowGeometry geometry = window_geometry();
    if (geometry.width != frame_width || geometry.height != frame_height) {
        return ::testing::AssertionFailure() << "the window is " << geometry.width << "x"
                                             << geometry.height << ", not 640x400";
    }
    place_on_screen();
    last_x_error = 0;
    XImage* image =
        XGetImage(display, window_, 0, 0, frame_width, frame_height, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return ::testing::AssertionFailure() << "the window could not be captured (X error "
                                             << last_x_error << ")";
    }
    picture.width = frame_width;
    picture.height = frame_height;
    picture.pixels.resize(static_cast<size_t>(frame_width * frame_height));
    for (int y = 0; y < frame_height; ++y) {
        for (int x = 0; x < frame_width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            picture.pixels[static_cast<size_t>(y * frame_width + x)] =
                (channel(pixel, image->red_mask) << 16) | (channel(pixel, image->green_mask) << 8) |
                channel(pixel, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult WindowSession::capture(Screen& screen) {
    Picture picture;
    ::testing::AssertionResult captured = capture_picture(picture);
    if (!captured) return captured;
    std::string error;
    if (!decode_picture(picture, screen, error)) {
        return ::testing::AssertionFailure() << "the window shows no exact text frame: " << error;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult WindowSession::wait_for(const std::string& what,
                                                   const ScreenCondition& condition,
                                                   Screen* screen,
                                                   std::chrono::milliseconds timeout) {
    const auto give_up = now() + timeout;
    Screen last{};
    bool have_screen = false;
    std::string last_error;
    int decode_failures = 0;
    while (true) {
        if (!program_running()) {
            ::testing::AssertionResult failure = ::testing::AssertionFailure();
            failure << "while waiting for " << what << ", the program "
                    << exit_description(program_status_) << "\n";
            if (have_screen) failure << "last screen:\n" << screen_text(last);
            return failure << log_tail();
        }
        Screen current{};
        ::testing::AssertionResult captured = capture(current);
        if (captured) {
            // A picture may be caught while the program replaces it; take the second of two
            // captures that agree.
            Screen confirmed{};
            captured = capture(confirmed);
            if (captured && !same_apart_from_countdown(current, confirmed)) {
                captured = ::testing::AssertionFailure() << "the picture changed between two captures";
            }
            current = confirmed;
        }
        if (captured) {
            last_error.clear();
            decode_failures = 0;
            last = current;
            have_screen = true;
            if (condition(current)) {
                if (screen != nullptr) *screen = current;
                return ::testing::AssertionSuccess();
            }
        } else {
            last_error = captured.message();
            const bool decode_error = last_error.find("no exact text frame") != std::string::npos;
            decode_failures = decode_error ? decode_failures + 1 : 0;
            if (decode_failures >= persistent_decode_failures) {
                return ::testing::AssertionFailure() << "while waiting for " << what << ": "
                                                     << last_error;
            }
        }
        if (now() > give_up) break;
        sleep_for(poll_interval);
    }
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "timed out after " << timeout.count() << " ms waiting for " << what << "\n";
    if (have_screen) {
        failure << "last screen:\n" << screen_text(last) << "colours (foreground, background):\n"
                << screen_colours(last);
    }
    if (!last_error.empty()) failure << "last capture problem: " << last_error << "\n";
    return failure;
}

::testing::AssertionResult WindowSession::wait_for_text(const std::string& text, Screen* screen,
                                                        std::chrono::milliseconds timeout) {
    return wait_for(
        "\"" + text + "\" on the screen",
        [&](const Screen& current) {
            for (int row = 1; row <= screen_rows; ++row) {
                if (current.row_text(row).find(text) != std::string::npos) return true;
            }
            return false;
        },
        screen, timeout);
}

void WindowSession::send_key(unsigned keycode, bool down) {
    Display* display = as_display(display_);
    XTestFakeKeyEvent(display, keycode, down ? True : False, CurrentTime);
    XFlush(display);
    sleep_for(key_event_gap);
}

void WindowSession::press_key(unsigned long keysym, unsigned modifiers) {
    Display* display = as_display(display_);
    struct Held {
        unsigned flag;
        KeySym keysym;
    };
    const Held held[] = {{shift, XK_Shift_L}, {control, XK_Control_L}, {alt, XK_Alt_L}};
    for (const Held& modifier : held) {
        if (modifiers & modifier.flag) send_key(XKeysymToKeycode(display, modifier.keysym), true);
    }
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (keycode == 0) {
        ADD_FAILURE() << "the keyboard of the X server has no key for keysym " << keysym;
    } else {
        send_key(keycode, true);
        send_key(keycode, false);
    }
    for (int i = 2; i >= 0; --i) {
        if (modifiers & held[i].flag) send_key(XKeysymToKeycode(display, held[i].keysym), false);
    }
}

void WindowSession::type_text(const std::string& text) {
    Display* display = as_display(display_);
    for (const char c : text) {
        if (c == '\n') {
            press_key(XK_Return);
        } else if (c == '\b') {
            press_key(XK_BackSpace);
        } else {
            // Latin-1 keysyms are the character codes themselves.
            const KeySym keysym = static_cast<unsigned char>(c);
            const KeyCode keycode = XKeysymToKeycode(display, keysym);
            const bool needs_shift = keycode != 0 && XkbKeycodeToKeysym(display, keycode, 0, 0) != keysym;
            press_key(keysym, needs_shift ? shift : no_modifier);
        }
    }
}

void WindowSession::close_window() {
    Display* display = as_display(display_);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom* listed = nullptr;
    int count = 0;
    bool offered = false;
    if (XGetWMProtocols(display, window_, &listed, &count)) {
        for (int i = 0; i < count; ++i) offered = offered || listed[i] == delete_window;
        XFree(listed);
    }
    EXPECT_TRUE(offered) << "the window does not take part in WM_DELETE_WINDOW, so a window "
                            "manager would have to kill its client";
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(delete_window);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window_, False, NoEventMask, &event);
    XFlush(display);
}

void WindowSession::resize_window(int width, int height) {
    Display* display = as_display(display_);
    XResizeWindow(display, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(display);
}

::testing::AssertionResult WindowSession::wait_for_geometry(int width, int height,
                                                            std::chrono::milliseconds timeout) {
    Display* display = as_display(display_);
    const auto give_up = now() + timeout;
    std::string seen;
    while (now() < give_up) {
        XEvent event{};
        while (XCheckTypedWindowEvent(display, window_, ConfigureNotify, &event)) {
            seen += " " + std::to_string(event.xconfigure.width) + "x" +
                    std::to_string(event.xconfigure.height);
            if (event.xconfigure.width == width && event.xconfigure.height == height) {
                return ::testing::AssertionSuccess();
            }
        }
        sleep_for(std::chrono::milliseconds(10));
    }
    return ::testing::AssertionFailure() << "the window did not become " << width << "x" << height
                                         << " within " << timeout.count() << " ms; sizes seen:"
                                         << (seen.empty() ? " none" : seen);
}

::testing::AssertionResult WindowSession::wait_for_exit(int& exit_status,
                                                        std::chrono::milliseconds timeout,
                                                        std::chrono::milliseconds* elapsed) {
    const auto started = now();
    const auto give_up = started + timeout;
    while (program_running()) {
        if (now() > give_up) {
            return ::testing::AssertionFailure() << "the program was still running "
                                                 << timeout.count() << " ms later";
        }
        sleep_for(std::chrono::milliseconds(2));
    }
    if (elapsed != nullptr) {
        *elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now() - started);
    }
    if (!WIFEXITED(program_status_)) {
        return ::testing::AssertionFailure() << "the program " << exit_description(program_status_)
                                             << "\n" << log_tail();
    }
    exit_status = WEXITSTATUS(program_status_);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult WindowSession::save_picture(const std::string& file_name) {
    Picture picture;
    ::testing::AssertionResult captured = capture_picture(picture);
    if (!captured) return captured;
    const std::string path = artifact_folder() + "/" + file_name;
    if (!write_png(picture, path)) {
        return ::testing::AssertionFailure() << "cannot write " << path;
    }
    return ::testing::AssertionSuccess();
}

std::string WindowSession::log_tail() const {
    if (log_path_.empty()) return {};
    std::ifstream log(log_path_);
    std::stringstream content;
    content << log.rdbuf();
    std::string text = content.str();
    if (text.empty()) return {};
    if (text.size() > 2000) text = "..." + text.substr(text.size() - 2000);
    return "program output (" + log_path_ + "):\n" + text;
}

}  // namespace acceptance
