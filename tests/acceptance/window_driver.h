// Plays a program through its window the way a user would: a private X server of its own, the
// program started in it, keys sent through the X test extension, the window read back with the
// screen reader, the window closed the way a window manager closes it, and the exit status
// collected. Everything it starts it ends again, by process id.
//
// Helpers return ::testing::AssertionResult, so a test writes ASSERT_TRUE(session.wait_for(...))
// and a failure carries the whole decoded screen.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/acceptance/screen_reader.h"

namespace acceptance {

struct LaunchOptions {
    std::string program;                     // executable path
    std::vector<std::string> arguments;      // after the program name
    std::vector<std::string> environment;    // NAME=value pairs added to the program's environment
    std::string log_path;                    // the program's stdout and stderr; empty: discarded
};

// Key modifiers held around a key press.
enum Modifier : unsigned { no_modifier = 0, shift = 1, control = 2, alt = 4 };

struct WindowGeometry {
    int width = 0;
    int height = 0;
};

using ScreenCondition = std::function<bool(const Screen&)>;

constexpr std::chrono::milliseconds default_wait{15000};

// The size of the private X server's screen.
constexpr int x_screen_width = 1280;
constexpr int x_screen_height = 1024;

class WindowSession {
public:
    WindowSession() = default;
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;
    ~WindowSession();  // ends the program and the X server if they still run

    // Starts the X server and the program, and waits for the program's window "Untitled".
    ::testing::AssertionResult start(const LaunchOptions& options);

    // One capture of the window: it must be 640x400 and decode completely.
    ::testing::AssertionResult capture(Screen& screen);
    ::testing::AssertionResult capture_picture(Picture& picture);

    // Polls the window until `condition` holds for a decoded capture. On time-out (or when the
    // program ends meanwhile) the failure names `what` and shows the last screen or the last
    // capture error. `screen` receives the capture that satisfied the condition.
    ::testing::AssertionResult wait_for(const std::string& what, const ScreenCondition& condition,
                                        Screen* screen = nullptr,
                                        std::chrono::milliseconds timeout = default_wait);
    // Waits until `text` stands anywhere on the screen.
    ::testing::AssertionResult wait_for_text(const std::string& text, Screen* screen = nullptr,
                                             std::chrono::milliseconds timeout = default_wait);

    // Keys. Text characters: printable ASCII (Shift added where the keyboard needs it),
    // '\n' Return, '\b' BackSpace. Each key is pressed and released.
    void type_text(const std::string& text);
    void press_key(unsigned long keysym, unsigned modifiers = no_modifier);

    // Asks the window to close, as a window manager does (WM_DELETE_WINDOW).
    void close_window();
    // Resizes the window as a user dragging its border would.
    void resize_window(int width, int height);
    WindowGeometry window_geometry();
    // Waits for the next configure notification of the window with this size.
    ::testing::AssertionResult wait_for_geometry(int width, int height,
                                                 std::chrono::milliseconds timeout);

    // Waits for the program to end; gives its exit status (or fails when it was killed by a
    // signal, or did not end in time). `elapsed` receives the time it took.
    ::testing::AssertionResult wait_for_exit(int& exit_status, std::chrono::milliseconds timeout,
                                             std::chrono::milliseconds* elapsed = nullptr);
    bool program_running();

    // Saves the current window picture as a PNG file in the artifact folder.
    ::testing::AssertionResult save_picture(const std::string& file_name);

    // The tail of the program's log, for failure messages.
    std::string log_tail() const;

private:
    bool start_x_server(std::string& error);
    bool find_window(std::chrono::milliseconds timeout, std::string& error);
    void send_key(unsigned keycode, bool down);
    void place_on_screen();
    void end_everything();

    pid_t server_pid_ = -1;
    int display_number_ = -1;
    pid_t program_pid_ = -1;
    bool program_reaped_ = false;
    int program_status_ = 0;
    void* display_ = nullptr;     // Display*
    unsigned long window_ = 0;    // Window
    std::string log_path_;
};

// Where pictures are written (the build folder).
std::string artifact_folder();

// Milliseconds of a steady clock, for polling.
std::chrono::steady_clock::time_point now();
void sleep_for(std::chrono::milliseconds duration);

}  // namespace acceptance
