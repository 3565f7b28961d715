// The message box's decisions, then the real box on the X display the suite provides, answered
// by events sent to its windows from a second connection.
#include "runtime/platform/private/message_box.h"

// gtest first: the X headers define macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "tests/support/x_key_events.h"

namespace {

using platform::BoxAnswer;
using platform::BoxKind;

TEST(MessageBoxRules, TextIsSplitAtEveryLineFeed) {
    EXPECT_EQ(platform::split_lines("Line: 57 (in main module)\nIllegal function call\nContinue?"),
              (std::vector<std::string>{"Line: 57 (in main module)", "Illegal function call",
                                        "Continue?"}));
    EXPECT_EQ(platform::split_lines("a\n\nb\n"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(platform::split_lines(""), (std::vector<std::string>{""}));
}

TEST(MessageBoxRules, KeysAnswerByKind) {
    struct Case {
        unsigned long key;
        BoxKind kind;
        BoxAnswer answer;
    };
    const Case cases[] = {
        {XK_Return, BoxKind::yes_no, BoxAnswer::yes}, {XK_KP_Enter, BoxKind::yes_no, BoxAnswer::yes},
        {XK_Escape, BoxKind::yes_no, BoxAnswer::no},  {XK_y, BoxKind::yes_no, BoxAnswer::yes},
        {XK_Y, BoxKind::yes_no, BoxAnswer::yes},      {XK_n, BoxKind::yes_no, BoxAnswer::no},
        {XK_N, BoxKind::yes_no, BoxAnswer::no},       {XK_a, BoxKind::yes_no, BoxAnswer::failed},
        {XK_space, BoxKind::yes_no, BoxAnswer::failed},
        {XK_Return, BoxKind::ok, BoxAnswer::ok},      {XK_Escape, BoxKind::ok, BoxAnswer::ok},
        {XK_space, BoxKind::ok, BoxAnswer::ok},       {XK_n, BoxKind::ok, BoxAnswer::failed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::answer_for_key(c.key, c.kind), c.answer)
            << "key 0x" << std::hex << c.key << (c.kind == BoxKind::ok ? " in OK box" : " in Yes/No box");
    }
    EXPECT_EQ(platform::answer_for_close(BoxKind::yes_no), BoxAnswer::no);
    EXPECT_EQ(platform::answer_for_close(BoxKind::ok), BoxAnswer::ok);
}

TEST(MessageBoxRules, ButtonsLeftToRight) {
    const auto yes_no = platform::box_buttons(BoxKind::yes_no);
    ASSERT_EQ(yes_no.size(), 2u);
    EXPECT_STREQ(yes_no[0].label, "Yes");
    EXPECT_STREQ(yes_no[1].label, "No");
    const auto ok = platform::box_buttons(BoxKind::ok);
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_STREQ(ok[0].label, "OK");
    EXPECT_EQ(ok[0].answer, BoxAnswer::ok);
}

TEST(MessageBoxWithoutDisplay, WritesToStandardErrorAndFails) {
    const char* saved = std::getenv("DISPLAY");
    const std::string saved_display = saved != nullptr ? saved : "";
    setenv("DISPLAY", ":987", 1);  // no server there
    testing::internal::CaptureStderr();
    const BoxAnswer answer = platform::show_message_box("Unhandled Error #5", "Line: 1\nAgain", BoxKind::yes_no);
    const std::string written = testing::internal::GetCapturedStderr();
    if (saved != nullptr) {
        setenv("DISPLAY", saved_display.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
    EXPECT_EQ(answer, BoxAnswer::failed);
    EXPECT_EQ(written, "Unhandled Error #5\nLine: 1\nAgain\n");
}

// Other tests' windows come and go on the shared display while the tree is searched; asking for
// the name of one that has just gone is no fault of this test.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// A second connection that finds windows by name and sends them events.
class BoxDriver {
public:
    BoxDriver() : display_(XOpenDisplay(nullptr)) { XSetErrorHandler(ignore_x_error); }
    ~BoxDriver() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    bool connected() const { return display_ != nullptr; }

    // Waits (up to five seconds) for a window named `name` under `parent` (0: the root).
    Window find(const std::string& name, Window parent = 0) {
        if (parent == 0) parent = DefaultRootWindow(display_);
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (Window w = search(parent, name)) return w;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

    void press_key(Window window, KeySym symbol) { send_key_press(display_, window, symbol); }

    void click(Window window) {
        for (int type : {ButtonPress, ButtonRelease}) {
            XEvent event{};
            event.xbutton.type = type;
            event.xbutton.display = display_;
            event.xbutton.window = window;
            event.xbutton.root = DefaultRootWindow(display_);
            event.xbutton.button = Button1;
            event.xbutton.x = 5;
            event.xbutton.y = 5;
            event.xbutton.same_screen = True;
            XSendEvent(display_, window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask,
                       &event);
        }
        XFlush(display_);
    }

    void request_close(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        XSendEvent(display_, window, False, NoEventMask, &event);
        XFlush(display_);
    }

private:
    Window search(Window parent, const std::string& name) {
        Window root = 0, parent_of = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display_, parent, &root, &parent_of, &children, &count)) return 0;
        Window found = 0;
        for (unsigned int i = 0; i < count && found == 0; ++i) {
            char* window_name = nullptr;
            if (XFetchName(display_, children[i], &window_name) && window_name != nullptr) {
                if (name == window_name) found = children[i];
                XFree(window_name);
            }
        }
        if (children != nullptr) XFree(children);
        return found;
    }

    Display* display_;
};

class MessageBoxOnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "these tests need an X display (DISPLAY)";
        ASSERT_TRUE(driver.connected()) << "cannot open the X display " << std::getenv("DISPLAY");
    }

    // Shows a box on another thread, lets `answer_it` act on the box window, returns the answer.
    BoxAnswer answer_box(const std::string& caption, BoxKind kind,
                         const std::function<void(BoxDriver&, Window)>& answer_it) {
        auto shown = std::async(std::launch::async, [&] {
            return platform::show_message_box(caption.c_str(), "First line\nSecond line", kind);
        });
        const Window box = driver.find(caption);
        EXPECT_NE(box, 0u) << "no window titled " << caption;
        if (box != 0) answer_it(driver, box);
        if (shown.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the box did not close";
            std::abort();  // a box left open would hang the suite
        }
        return shown.get();
    }

    BoxDriver driver;
};

TEST_F(MessageBoxOnDisplay, KeyboardAnswers) {
    struct Case {
        KeySym key;
        BoxKind kind;
        BoxAnswer answer;
    };
    const Case cases[] = {
        {XK_Return, BoxKind::yes_no, BoxAnswer::yes},
        {XK_Escape, BoxKind::yes_no, BoxAnswer::no},
        {XK_y, BoxKind::yes_no, BoxAnswer::yes},
        {XK_n, BoxKind::yes_no, BoxAnswer::no},
        {XK_Return, BoxKind::ok, BoxAnswer::ok},
    };
    int round = 0;
    for (const Case& c : cases) {
        const std::string caption = "Keyboard box " + std::to_string(++round);
        const BoxAnswer answer = answer_box(caption, c.kind, [&](BoxDriver& d, Window box) {
            d.press_key(box, XK_a);  // does nothing
            d.press_key(box, c.key);
        });
        EXPECT_EQ(answer, c.answer) << caption;
    }
}

TEST_F(MessageBoxOnDisplay, MouseAnswersOnTheButtons) {
    for (const char* label : {"Yes", "No"}) {
        const std::string caption = std::string("Mouse box ") + label;
        const BoxAnswer answer = answer_box(caption, BoxKind::yes_no, [&](BoxDriver& d, Window box) {
            const Window button = d.find(label, box);
            ASSERT_NE(button, 0u);
            d.click(button);
        });
        EXPECT_EQ(answer, std::string(label) == "Yes" ? BoxAnswer::yes : BoxAnswer::no);
    }
    const BoxAnswer ok = answer_box("Mouse box OK", BoxKind::ok, [](BoxDriver& d, Window box) {
        const Window button = d.find("OK", box);
        ASSERT_NE(button, 0u);
        d.click(button);
    });
    EXPECT_EQ(ok, BoxAnswer::ok);
}

TEST_F(MessageBoxOnDisplay, ClosingTheWindowAnswersNo) {
    const BoxAnswer answer = answer_box("Closed box", BoxKind::yes_no,
                                        [](BoxDriver& d, Window box) { d.request_close(box); });
    EXPECT_EQ(answer, BoxAnswer::no);
}

}  // namespace
