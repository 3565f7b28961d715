// The real services behind the seams: POSIX clocks, sleeps, signals and exit, and the key states
// read through an X display connection of the platform layer's own.
#include "runtime/platform/platform.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#if defined(__x86_64__) || defined(__i386__)
#include <fpu_control.h>
#endif
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "runtime/platform/private/message_box.h"

namespace platform {
namespace {

int64_t real_monotonic_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

int64_t real_wall_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

std::tm real_local_time(int64_t seconds) {
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm calendar{};
    localtime_r(&when, &calendar);
    return calendar;
}

void real_sleep_ms(int32_t ms) {
    if (ms <= 0) {
        // A zero-length yield gives the processor away even when no other thread is ready: a
        // bare sched_yield returns at once then, and a loop polling for a key would spin a whole
        // core. A tenth of a millisecond is far below anything a player or a frame can notice.
        timespec pause{0, 100'000L};
        nanosleep(&pause, nullptr);
        return;
    }
    timespec remaining{ms / 1000, static_cast<long>(ms % 1000) * 1'000'000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

// The key-state connection is opened on first use and kept. THREADING: asked by the start-up
// sampling on the window thread before the worker threads exist, and from then on only by the
// housekeeping thread's lock-key synchronisation, so it is never used by two threads at once.
struct KeyStateConnection {
    bool tried = false;
    Display* display = nullptr;
    int scroll_lock_bit = -1, caps_lock_bit = -1, num_lock_bit = -1;
};

KeyStateConnection& key_state_connection() {
    static KeyStateConnection connection;
    return connection;
}

int named_indicator_bit(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, False);
    int index = -1;
    Bool on = False;
    if (atom == None || !XkbGetNamedIndicator(display, atom, &index, &on, nullptr, nullptr)) {
        return -1;
    }
    return index;
}

bool key_down(Display* display, const std::array<char, 32>& keymap, KeySym symbol) {
    const KeyCode code = XKeysymToKeycode(display, symbol);
    if (code == 0) return false;
    return (static_cast<unsigned char>(keymap[code / 8]) >> (code % 8)) & 1;
}

KeyStates real_key_states() {
    KeyStateConnection& connection = key_state_connection();
    if (!connection.tried) {
        connection.tried = true;
        connection.display = XOpenDisplay(nullptr);
        if (connection.display != nullptr) {
            connection.scroll_lock_bit = named_indicator_bit(connection.display, "Scroll Lock");
            connection.caps_lock_bit = named_indicator_bit(connection.display, "Caps Lock");
            connection.num_lock_bit = named_indicator_bit(connection.display, "Num Lock");
        }
    }
    KeyStates states;
    Display* display = connection.display;
    if (display == nullptr) return states;

    std::array<char, 32> keymap{};
    XQueryKeymap(display, keymap.data());
    states.scroll_lock_key = key_down(display, keymap, XK_Scroll_Lock);
    states.left_shift = key_down(display, keymap, XK_Shift_L);
    states.right_shift = key_down(display, keymap, XK_Shift_R);
    states.left_ctrl = key_down(display, keymap, XK_Control_L);
    states.right_ctrl = key_down(display, keymap, XK_Control_R);
    states.left_alt = key_down(display, keymap, XK_Alt_L);
    states.right_alt = key_down(display, keymap, XK_Alt_R) ||
                       key_down(display, keymap, XK_ISO_Level3_Shift);

    unsigned int indicators = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &indicators) == Success) {
        auto lit = [indicators](int bit) { return bit >= 0 && ((indicators >> bit) & 1u) != 0; };
        states.scroll_lock = lit(connection.scroll_lock_bit);
        states.caps_lock = lit(connection.caps_lock_bit);
        states.num_lock = lit(connection.num_lock_bit);
    }
    return states;
}

// Ends the process without running exit handlers and static destructors: the window thread is
// still inside the window system's event loop, and the window system's own exit handler would
// pull its state away under it (the process then ends with status 1 or a crash instead of the
// status asked for). Nothing of this program needs a destructor at exit; buffered output is
// flushed first.
[[noreturn]] void real_exit_process(int status) {
    std::fflush(nullptr);
    _exit(status);
}

constexpr PlatformSeams real_seams{
    real_monotonic_ms, real_wall_seconds, real_local_time, real_sleep_ms,
    show_message_box,  real_key_states,   real_exit_process,
};

}  // namespace

PlatformSeams& seams() {
    static PlatformSeams current = real_seams;
    return current;
}

void reset_seams() { seams() = real_seams; }

void prepare_for_threads() { XInitThreads(); }

void install_fpe_handler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // The handler never returns into the faulting instruction, so a second fault inside it
    // (while its box is up) must still reach it rather than be held back.
    action.sa_flags = SA_NODEFER;
    sigaction(SIGFPE, &action, nullptr);
}

std::string executable_path() {
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return {};
    return std::string(buffer.data(), static_cast<size_t>(length));
}

bool current_directory(std::string& directory) {
    std::array<char, 4096> buffer{};
    if (getcwd(buffer.data(), buffer.size()) == nullptr) return false;
    directory = buffer.data();
    return true;
}

bool change_directory(const std::string& directory) { return chdir(directory.c_str()) == 0; }

void use_extended_precision() {
#if defined(__x86_64__) || defined(__i386__)
    fpu_control_t control = 0;
    _FPU_GETCW(control);
    control = static_cast<fpu_control_t>((control & ~_FPU_EXTENDED) | _FPU_EXTENDED);
    _FPU_SETCW(control);
#endif
}

std::string directory_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace platform
