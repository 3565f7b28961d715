// The platform layer: the few operating-system services the runtime needs, over POSIX and X11.
//
// Each service is reached through a seam (a function pointer in PlatformSeams) so that tests can
// put in a fake clock, scripted message-box answers and an exit that does not end the test
// process. Nothing outside runtime/platform/ sees an X11 type.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

namespace platform {

enum class BoxKind { ok, yes_no };
enum class BoxAnswer { ok, yes, no, failed };  // failed: no box could be shown

// The lock toggles and the six modifier keys as the operating system sees them now.
struct KeyStates {
    bool scroll_lock = false, caps_lock = false, num_lock = false;  // the toggles
    bool scroll_lock_key = false;  // the Scroll Lock key itself held down
    bool left_shift = false, right_shift = false;
    bool left_ctrl = false, right_ctrl = false;
    bool left_alt = false, right_alt = false;
};

struct PlatformSeams {
    int64_t (*monotonic_ms)();                 // milliseconds since an arbitrary origin
    int64_t (*wall_seconds)();                 // seconds since the epoch
    std::tm (*local_time)(int64_t seconds);    // local calendar time of an epoch second
    void (*sleep_ms)(int32_t ms);              // 0 = give the processor away briefly (0.1 ms)
    BoxAnswer (*message_box)(const char* caption, const char* text, BoxKind kind);
    KeyStates (*key_states)();  // from one thread at a time: start-up, then housekeeping
    void (*exit_process)(int status);  // flushes output; runs no exit handlers; never returns
};

// The seams in force; tests assign their own functions and call reset_seams() afterwards.
PlatformSeams& seams();
void reset_seams();

inline int64_t monotonic_ms() { return seams().monotonic_ms(); }
inline int64_t wall_seconds() { return seams().wall_seconds(); }
inline std::tm local_time(int64_t seconds) { return seams().local_time(seconds); }
inline void sleep_ms(int32_t ms) { seams().sleep_ms(ms); }
inline BoxAnswer message_box(const char* caption, const char* text, BoxKind kind) {
    return seams().message_box(caption, text, kind);
}
inline KeyStates key_states() { return seams().key_states(); }
// A seam that returns all the same is a fault: stop here rather than run on past an exit.
[[noreturn]] inline void exit_process(int status) {
    seams().exit_process(status);
    std::abort();
}

// Makes the window-system library safe for use from several threads; the process entry calls it
// before anything else touches the display.
void prepare_for_threads();

// Installs `handler` for floating-point exception signals on the calling process.
void install_fpe_handler(void (*handler)(int));

// The running executable's full path ("" when it cannot be read).
std::string executable_path();

// The current directory; false when it cannot be read.
bool current_directory(std::string& directory);
// Makes `directory` current; false when that fails.
bool change_directory(const std::string& directory);

// Makes floating-point arithmetic on the calling thread use the 64-bit mantissa of extended
// precision (already the default for long double on x86-64 Linux; set explicitly all the same).
void use_extended_precision();

// The folder part of `path`: everything before its last slash ("/" for a file in the root, ""
// when there is no slash). A colon is an ordinary file-name character here.
std::string directory_of(const std::string& path);

}  // namespace platform
