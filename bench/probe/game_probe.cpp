// Measures the running game from outside, the way a player meets it: started as a child process
// in the X server named by $DISPLAY, driven with key events of the X test extension, its window
// read back pixel by pixel. Prints one JSON object on standard output:
//
//   window_ms, first_frame_ms    from the start of the process to its window "Untitled", and to
//                                the first picture with text in it
//   prompt_cpu_percent           CPU of the game process (all threads) over the measuring period
//                                at the command prompt, in percent of one core, from the
//                                utime + stime of /proc/PID/stat; server_* the same for the X
//                                server when its process id is given
//   closing_cpu_percent          the same at the closing prompt "Press any key to continue"
//   briefing_cpu_percent         the same at the briefing's wait for a key (a read_key poll)
//   *_cpu_percent_by_thread      the same per thread, "position:name" in creation order (0 the
//                                window thread, then the program, timer and housekeeping threads)
//   peak_resident_kb             VmHWM of /proc/PID/status just before the game is ended;
//                                resident_kb, resident_anonymous_kb, resident_files_kb the
//                                resident memory then, in all, private and mapped from files;
//                                resident_gl_driver_kb the part of the OpenGL driver's files
//                                (software rasteriser, its shader compiler)
//   key_to_letter_ms             for each sample, from the key press sent to the first captured
//                                picture showing the letter after the prompt; capture_mean_ms
//                                how long one read-back of the window takes (the resolution)
//   exit_status, exit_after_key_ms  how and how fast the closing key ends the process
//
// Usage: tarrowgate_probe EXECUTABLE [--seconds N] [--samples N] [--server-pid PID]
// Everything it starts it ends again by process id. On a failure it still prints what it has,
// with "error" saying which step failed, and exits with status 1.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "runtime/display/render.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int frame_width = 640;
constexpr int frame_height = 400;
constexpr int columns = 80;
constexpr int rows = 25;

double milliseconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// ---- Reading the window ------------------------------------------------------------------------

// A cell's lit pixels as a 128-bit mask, row by row, leftmost pixel in the highest bit of its row.
struct CellMask {
    uint64_t top = 0;     // rows 0-7
    uint64_t bottom = 0;  // rows 8-15
    bool operator==(const CellMask&) const = default;
};
struct CellMaskHash {
    size_t operator()(const CellMask& mask) const {
        return std::hash<uint64_t>()(mask.top * 31 + mask.bottom);
    }
};

// Glyph masks of the runtime's own 8x16 font; for glyphs drawn alike the lowest code wins.
std::unordered_map<CellMask, uint8_t, CellMaskHash> glyph_codes() {
    load_palettes_and_fonts();
    const auto& glyphs = glyph_table_8x16();
    std::unordered_map<CellMask, uint8_t, CellMaskHash> codes;
    for (int code = 255; code >= 0; --code) {
        CellMask mask;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 8; ++x) {
                if (glyphs[static_cast<size_t>(code * 128 + y * 8 + x)] == 0) continue;
                uint64_t& half = y < 8 ? mask.top : mask.bottom;
                half |= uint64_t{1} << ((y % 8) * 8 + (7 - x));
            }
        }
        codes[mask] = static_cast<uint8_t>(code);
    }
    return codes;
}

struct Picture {
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, row-major, 640x400
};

// The screen as text: the character of every cell whose lit pixels (those not black) form a
// glyph of the font, a zero byte for a cell that does not. Enough for the game's dark grey on black.
struct ScreenText {
    std::array<std::string, rows> row_text;
    bool contains(const std::string& text) const {
        for (const std::string& row : row_text) {
            if (row.find(text) != std::string::npos) return true;
        }
        return false;
    }
    // Some cell shows a glyph with lit pixels.
    bool any_text() const {
        for (const std::string& row : row_text) {
            if (row.find_first_not_of(' ') != std::string::npos) return true;
        }
        return false;
    }
    // Every cell reads as a glyph, and some have lit pixels: a frame of the game, not whatever
    // the window held before its first presentation.
    bool readable_text() const {
        for (const std::string& row : row_text) {
            if (row.find('\0') != std::string::npos) return false;
        }
        return any_text();
    }
    // How often `character` stands in rows first..last (1-based).
    int count(char character, int first, int last) const {
        int found = 0;
        for (int row = first; row <= last; ++row) {
            found += static_cast<int>(std::count(row_text[static_cast<size_t>(row - 1)].begin(),
                                                 row_text[static_cast<size_t>(row - 1)].end(),
                                                 character));
        }
        return found;
    }
};

class GameWindow {
public:
    bool open() {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) return false;
        int event_base = 0, error_base = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor)) return false;
        XSetErrorHandler(&GameWindow::ignore_error);
        codes_ = glyph_codes();
        return true;
    }

    // The top-level window named "Untitled", if one exists.
    bool find() {
        Window_t root = DefaultRootWindow(display_);
        Window_t parent_of = 0, root_of = 0;
        Window_t* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, root, &root_of, &parent_of, &children, &count)) return false;
        for (unsigned k = 0; k < count && window_ == 0; ++k) {
            char* name = nullptr;
            if (XFetchName(display_, children[k], &name) && name != nullptr) {
                if (std::strcmp(name, "Untitled") == 0) window_ = children[k];
                XFree(name);
            }
        }
        if (children != nullptr) XFree(children);
        return window_ != 0;
    }

    // The program leaves its position to the system, and with no window manager the window may
    // stand partly off the screen, where it cannot be read back: move it on, as a window manager
    // would place it.
    void place_on_screen() {
        XWindowAttributes attributes{};
        int x = 0, y = 0;
        Window_t child = 0;
        if (!XGetWindowAttributes(display_, window_, &attributes) ||
            !XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &x, &y,
                                   &child)) {
            return;
        }
        const int screen_width = DisplayWidth(display_, DefaultScreen(display_));
        const int screen_height = DisplayHeight(display_, DefaultScreen(display_));
        if (x >= 0 && y >= 0 && x + attributes.width <= screen_width &&
            y + attributes.height <= screen_height) {
            return;
        }
        XMoveWindow(display_, window_, 16, 16);
        XSync(display_, False);
    }

    // No window manager runs either: give the window the keyboard focus and the pointer, as one
    // does for the window the user works in, so that the test key events reach it. Only once the
    // window is viewable.
    void take_focus() {
        XWarpPointer(display_, None, window_, 0, 0, 0, 0, 100, 100);
        XSetInputFocus(display_, window_, RevertToPointerRoot, CurrentTime);
        XSync(display_, False);
    }

    bool capture(Picture& picture) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window_, &attributes)) return false;
        if (attributes.map_state != IsViewable || attributes.width != frame_width ||
            attributes.height != frame_height) {
            return false;
        }
        XImage* image = XGetImage(display_, window_, 0, 0, frame_width, frame_height, AllPlanes,
                                  ZPixmap);
        if (image == nullptr) return false;
        picture.pixels.resize(static_cast<size_t>(frame_width) * frame_height);
        for (int y = 0; y < frame_height; ++y) {
            for (int x = 0; x < frame_width; ++x) {
                uint32_t pixel = 0;
                if (image->bits_per_pixel == 32) {
                    std::memcpy(&pixel, image->data + y * image->bytes_per_line + x * 4, 4);
                } else {
                    pixel = static_cast<uint32_t>(XGetPixel(image, x, y));
                }
                picture.pixels[static_cast<size_t>(y * frame_width + x)] = pixel & 0xFFFFFFu;
            }
        }
        XDestroyImage(image);
        return true;
    }

    ScreenText read(const Picture& picture) const {
        ScreenText screen;
        for (int row = 0; row < rows; ++row) {
            std::string& text = screen.row_text[static_cast<size_t>(row)];
            text.assign(columns, ' ');
            for (int column = 0; column < columns; ++column) {
                CellMask mask;
                for (int y = 0; y < 16; ++y) {
                    const uint32_t* line =
                        &picture.pixels[static_cast<size_t>((row * 16 + y) * frame_width + column * 8)];
                    for (int x = 0; x < 8; ++x) {
                        if (line[x] == 0) continue;
                        uint64_t& half = y < 8 ? mask.top : mask.bottom;
                        half |= uint64_t{1} << ((y % 8) * 8 + (7 - x));
                    }
                }
                const auto found = codes_.find(mask);
                if (found == codes_.end()) {
                    text[static_cast<size_t>(column)] = '\0';
                    continue;
                }
                const uint8_t code = found->second;
                text[static_cast<size_t>(column)] =
                    code == 0 || code == 255 ? ' ' : static_cast<char>(code);
            }
        }
        return screen;
    }

    // Presses and releases the key of `keysym`.
    void tap(KeySym keysym) {
        const KeyCode keycode = XKeysymToKeycode(display_, keysym);
        XTestFakeKeyEvent(display_, keycode, True, CurrentTime);
        XFlush(display_);
        sleep_ms(5);
        XTestFakeKeyEvent(display_, keycode, False, CurrentTime);
        XFlush(display_);
    }

    ~GameWindow() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }

private:
    using Window_t = ::Window;
    static int ignore_error(Display*, XErrorEvent*) { return 0; }

    Display* display_ = nullptr;
    Window_t window_ = 0;
    std::unordered_map<CellMask, uint8_t, CellMaskHash> codes_;
};

// ---- The process -------------------------------------------------------------------------------

pid_t start_program(const std::string& executable) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// utime + stime of a process (or of its thread `tid`) in clock ticks, or nothing when it is gone.
std::optional<uint64_t> cpu_ticks(pid_t pid, pid_t tid = 0) {
    std::ifstream stat(tid == 0 ? "/proc/" + std::to_string(pid) + "/stat"
                                : "/proc/" + std::to_string(pid) + "/task/" +
                                      std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t name_end = text.rfind(')');
    if (name_end == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(name_end + 2));
    std::string field;
    uint64_t utime = 0, stime = 0;
    // Fields after the name start at 3 (state); utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) utime = std::stoull(field);
        if (index == 15) stime = std::stoull(field);
    }
    return utime + stime;
}

std::optional<uint64_t> status_kb(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) return std::stoull(line.substr(key.size() + 1));
    }
    return std::nullopt;
}

// utime + stime of every thread of a process, by thread id (ascending: creation order), with the
// thread's name.
struct ThreadTicks {
    pid_t tid = 0;
    std::string name;
    uint64_t ticks = 0;
};
std::vector<ThreadTicks> thread_ticks(pid_t pid) {
    std::vector<ThreadTicks> threads;
    const std::string task_dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* directory = opendir(task_dir.c_str());
    if (directory == nullptr) return threads;
    while (const dirent* entry = readdir(directory)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        const auto tid = static_cast<pid_t>(std::atoi(entry->d_name));
        std::ifstream comm(task_dir + "/" + entry->d_name + "/comm");
        ThreadTicks thread{tid, "", 0};
        std::getline(comm, thread.name);
        const auto ticks = cpu_ticks(pid, tid);
        if (!ticks) continue;
        thread.ticks = *ticks;
        threads.push_back(thread);
    }
    closedir(directory);
    std::sort(threads.begin(), threads.end(),
              [](const ThreadTicks& a, const ThreadTicks& b) { return a.tid < b.tid; });
    return threads;
}

// Resident kilobytes of the mappings of a process whose file path contains one of `parts`, from
// /proc/PID/smaps.
std::optional<uint64_t> resident_kb_of_files(pid_t pid, const std::vector<std::string>& parts) {
    std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
    if (!smaps) return std::nullopt;
    std::string line;
    bool counted = false;
    uint64_t total = 0;
    while (std::getline(smaps, line)) {
        if (line.rfind("Rss:", 0) == 0) {
            if (counted) total += std::stoull(line.substr(4));
            continue;
        }
        // A mapping's header: "start-end perms offset dev inode [path]"; field lines start with
        // a capitalised name and a colon.
        const size_t dash = line.find('-');
        if (dash == std::string::npos || line.find(':') < dash) continue;
        const size_t path_start = line.find('/');
        const std::string path = path_start == std::string::npos ? "" : line.substr(path_start);
        counted = std::any_of(parts.begin(), parts.end(), [&](const std::string& part) {
            return path.find(part) != std::string::npos;
        });
    }
    return total;
}

struct CpuShare {
    double game_percent = -1;
    double server_percent = -1;
    // Per thread of the game, "position:name" (position in creation order) to percent of a core.
    std::vector<std::pair<std::string, double>> threads;
};

// CPU used by the game (and the X server) over `seconds`, in percent of one core. The probe
// itself sleeps meanwhile, so it adds no load of its own.
CpuShare measure_cpu(pid_t game, pid_t server, int seconds) {
    const double ticks_per_second = static_cast<double>(sysconf(_SC_CLK_TCK));
    const auto start = Clock::now();
    const auto game_before = cpu_ticks(game);
    const auto threads_before = thread_ticks(game);
    const auto server_before = server > 0 ? cpu_ticks(server) : std::nullopt;
    sleep_ms(seconds * 1000);
    const auto game_after = cpu_ticks(game);
    const auto threads_after = thread_ticks(game);
    const auto server_after = server > 0 ? cpu_ticks(server) : std::nullopt;
    const double elapsed_s = milliseconds_between(start, Clock::now()) / 1000.0;
    CpuShare share;
    for (size_t k = 0; k < threads_after.size(); ++k) {
        const ThreadTicks& after = threads_after[k];
        const auto before = std::find_if(threads_before.begin(), threads_before.end(),
                                         [&](const ThreadTicks& t) { return t.tid == after.tid; });
        const uint64_t ticks_before = before == threads_before.end() ? 0 : before->ticks;
        share.threads.emplace_back(std::to_string(k) + ":" + after.name,
                                   100.0 * static_cast<double>(after.ticks - ticks_before) /
                                       ticks_per_second / elapsed_s);
    }
    if (game_before && game_after) {
        share.game_percent =
            100.0 * static_cast<double>(*game_after - *game_before) / ticks_per_second / elapsed_s;
    }
    if (server_before && server_after) {
        share.server_percent = 100.0 * static_cast<double>(*server_after - *server_before) /
                               ticks_per_second / elapsed_s;
    }
    return share;
}

// ---- Report ------------------------------------------------------------------------------------

struct Report {
    std::map<std::string, std::string> fields;  // name -> JSON value
    void number(const std::string& name, double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", value);
        fields[name] = text;
    }
    void text(const std::string& name, const std::string& value) {
        std::string quoted = "\"";
        for (const char c : value) {
            if (c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
        fields[name] = quoted + "\"";
    }
    void named_numbers(const std::string& name,
                       const std::vector<std::pair<std::string, double>>& values) {
        std::string object = "{";
        for (size_t k = 0; k < values.size(); ++k) {
            char text[96];
            std::snprintf(text, sizeof text, "%s\"%s\": %.3f", k == 0 ? "" : ", ",
                          values[k].first.c_str(), values[k].second);
            object += text;
        }
        fields[name] = object + "}";
    }
    void numbers(const std::string& name, const std::vector<double>& values) {
        std::string list = "[";
        for (size_t k = 0; k < values.size(); ++k) {
            char text[32];
            std::snprintf(text, sizeof text, "%s%.3f", k == 0 ? "" : ", ", values[k]);
            list += text;
        }
        fields[name] = list + "]";
    }
    void print() const {
        std::printf("{\n");
        size_t k = 0;
        for (const auto& [name, value] : fields) {
            std::printf("  \"%s\": %s%s\n", name.c_str(), value.c_str(),
                        ++k == fields.size() ? "" : ",");
        }
        std::printf("}\n");
    }
};

struct Options {
    std::string executable;
    int seconds = 10;
    int samples = 20;
    pid_t server = 0;
};

class Probe {
public:
    explicit Probe(const Options& options) : options_(options) {}

    int run() {
        const bool done = measure();
        if (!done) report_.text("error", failure_);
        finish();
        report_.print();
        return done ? 0 : 1;
    }

private:
    bool fail(const std::string& what) {
        failure_ = what;
        return false;
    }

    bool program_running() {
        if (reaped_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
            status_ = status;
            return false;
        }
        return true;
    }

    // Captures until `condition` holds for the screen read back; the capture time of the first
    // picture that satisfies it, or nothing on time-out or when the program ended.
    std::optional<Clock::time_point> wait_for(const std::function<bool(const ScreenText&)>& condition,
                                              int timeout_ms) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        Picture picture;
        while (Clock::now() < deadline && program_running()) {
            const auto capture_started = Clock::now();
            if (window_.capture(picture)) {
                const auto captured = Clock::now();
                capture_ms_ += milliseconds_between(capture_started, captured);
                ++captures_;
                last_screen_ = window_.read(picture);
                if (condition(last_screen_)) return captured;
            } else {
                sleep_ms(1);
            }
        }
        return std::nullopt;
    }

    std::optional<Clock::time_point> wait_for_text(const std::string& text, int timeout_ms) {
        return wait_for([&](const ScreenText& screen) { return screen.contains(text); }, timeout_ms);
    }

    bool measure() {
        if (!window_.open()) return fail("no X server with the test extension on $DISPLAY");
        const auto started = Clock::now();
        pid_ = start_program(options_.executable);
        if (pid_ <= 0) return fail("the program could not be started");

        while (!window_.find()) {
            if (!program_running()) return fail("the program ended before its window opened");
            if (milliseconds_between(started, Clock::now()) > 20'000) {
                return fail("no window \"Untitled\" within 20 s");
            }
            sleep_ms(1);
        }
        report_.number("window_ms", milliseconds_between(started, Clock::now()));
        window_.place_on_screen();

        const auto first_frame =
            wait_for([](const ScreenText& screen) { return screen.readable_text(); }, 20'000);
        if (!first_frame) return fail("no text in the window within 20 s of its opening");
        report_.number("first_frame_ms", milliseconds_between(started, *first_frame));
        window_.take_focus();

        // The briefing, then the blank screen that waits for a second key, then the first turn.
        if (!wait_for_text("Press any key to Continue...", 10'000)) {
            return fail("the briefing's \"Press any key to Continue...\" did not appear");
        }
        const CpuShare at_briefing = measure_cpu(pid_, options_.server, options_.seconds);
        report_.number("briefing_cpu_percent", at_briefing.game_percent);
        report_.named_numbers("briefing_cpu_percent_by_thread", at_briefing.threads);
        if (at_briefing.server_percent >= 0) {
            report_.number("server_briefing_cpu_percent", at_briefing.server_percent);
        }
        window_.tap(XK_space);
        if (!wait_for([](const ScreenText& screen) { return !screen.any_text(); }, 10'000)) {
            return fail("the screen after the briefing did not clear");
        }
        window_.tap(XK_space);
        if (!wait_for_text("If you are stuck just type HELP.", 10'000) ||
            !wait_for([](const ScreenText& screen) { return screen.count(':', 2, 2) == 1; },
                      10'000)) {
            return fail("the command prompt with its countdown did not appear");
        }

        const CpuShare at_prompt = measure_cpu(pid_, options_.server, options_.seconds);
        report_.number("prompt_cpu_percent", at_prompt.game_percent);
        report_.named_numbers("prompt_cpu_percent_by_thread", at_prompt.threads);
        if (at_prompt.server_percent >= 0) {
            report_.number("server_prompt_cpu_percent", at_prompt.server_percent);
        }

        if (!measure_key_latency()) return false;

        // QUIT ends the game with the closing prompt on the bottom row.
        window_.tap(XK_q);
        sleep_ms(60);
        window_.tap(XK_Return);
        if (!wait_for_text("Press any key to continue", 10'000)) {
            return fail("QUIT did not lead to the closing prompt");
        }
        const CpuShare at_closing = measure_cpu(pid_, options_.server, options_.seconds);
        report_.number("closing_cpu_percent", at_closing.game_percent);
        report_.named_numbers("closing_cpu_percent_by_thread", at_closing.threads);
        if (at_closing.server_percent >= 0) {
            report_.number("server_closing_cpu_percent", at_closing.server_percent);
        }

        if (const auto peak = status_kb(pid_, "VmHWM")) report_.number("peak_resident_kb", *peak);
        if (const auto now = status_kb(pid_, "VmRSS")) report_.number("resident_kb", *now);
        if (const auto anonymous = status_kb(pid_, "RssAnon")) {
            report_.number("resident_anonymous_kb", *anonymous);
        }
        if (const auto files = status_kb(pid_, "RssFile")) report_.number("resident_files_kb", *files);
        // The OpenGL driver's own code: on a machine without a graphics processor, the software
        // rasteriser and the compiler it generates its shaders with.
        if (const auto driver =
                resident_kb_of_files(pid_, {"/libLLVM", "/dri/", "/libgallium"})) {
            report_.number("resident_gl_driver_kb", *driver);
        }

        const auto key_sent = Clock::now();
        window_.tap(XK_space);
        while (program_running() && milliseconds_between(key_sent, Clock::now()) < 5'000) {
            sleep_ms(1);
        }
        if (!reaped_) return fail("the closing key did not end the program within 5 s");
        report_.number("exit_after_key_ms", milliseconds_between(key_sent, Clock::now()));
        return true;
    }

    // Types "x" at the prompt and waits for one more "X" below the countdown row (the entry shows
    // its text in upper case), then takes it away with Backspace, `samples` times. Between
    // samples a varying pause so that the keys do not fall in step with the entry's passes.
    bool measure_key_latency() {
        std::vector<double> samples;
        const int before = last_screen_.count('X', 3, rows);
        for (int n = 0; n < options_.samples; ++n) {
            const auto sent = Clock::now();
            window_.tap(XK_x);
            const auto shown = wait_for(
                [&](const ScreenText& screen) { return screen.count('X', 3, rows) == before + 1; },
                5'000);
            if (!shown) return fail("a typed letter did not appear within 5 s");
            samples.push_back(milliseconds_between(sent, *shown));
            window_.tap(XK_BackSpace);
            if (!wait_for([&](const ScreenText& screen) {
                    return screen.count('X', 3, rows) == before;
                }, 5'000)) {
                return fail("Backspace did not take the typed letter away");
            }
            sleep_ms(40 + (n * 37) % 90);
        }
        std::vector<double> sorted = samples;
        std::sort(sorted.begin(), sorted.end());
        const size_t middle = sorted.size() / 2;
        const double median = sorted.size() % 2 == 1
                                  ? sorted[middle]
                                  : (sorted[middle - 1] + sorted[middle]) / 2.0;
        report_.number("key_to_letter_median_ms", median);
        report_.number("key_to_letter_min_ms", sorted.front());
        report_.number("key_to_letter_max_ms", sorted.back());
        report_.numbers("key_to_letter_ms", samples);
        // A letter is seen at the first capture after it appeared: the samples are late by up to
        // one capture.
        if (captures_ > 0) report_.number("capture_mean_ms", capture_ms_ / captures_);
        return true;
    }

    void finish() {
        if (pid_ > 0 && program_running()) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
            reaped_ = true;
            report_.text("ended_by", "the probe (SIGKILL)");
            return;
        }
        if (reaped_) {
            if (WIFEXITED(status_)) report_.number("exit_status", WEXITSTATUS(status_));
            if (WIFSIGNALED(status_)) report_.number("exit_signal", WTERMSIG(status_));
        }
    }

    Options options_;
    GameWindow window_;
    Report report_;
    std::string failure_;
    ScreenText last_screen_;
    double capture_ms_ = 0;  // time spent reading the window back, and how often
    int64_t captures_ = 0;
    pid_t pid_ = 0;
    bool reaped_ = false;
    int status_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int k = 1; k < argc; ++k) {
        const std::string argument = argv[k];
        if (argument == "--seconds" && k + 1 < argc) {
            options.seconds = std::atoi(argv[++k]);
        } else if (argument == "--samples" && k + 1 < argc) {
            options.samples = std::atoi(argv[++k]);
        } else if (argument == "--server-pid" && k + 1 < argc) {
            options.server = static_cast<pid_t>(std::atoi(argv[++k]));
        } else {
            options.executable = argument;
        }
    }
    if (options.executable.empty() || options.seconds <= 0 || options.samples <= 0) {
        std::fprintf(stderr,
                     "usage: tarrowgate_probe EXECUTABLE [--seconds N] [--samples N] "
                     "[--server-pid PID]\n");
        return 2;
    }
    return Probe(options).run();
}
