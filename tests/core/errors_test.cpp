#include "runtime/core/errors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/core/private/error_dialog.h"
#include "runtime/core/signals.h"
#include "tests/core/fake_seams.h"

namespace {

class ErrorsTest : public ::testing::Test {
protected:
    FakePlatformScope fakes;
    FakePlatform& fake = fake_platform();
    RuntimeSignals& signals = runtime_signals();
};

TEST_F(ErrorsTest, FirstErrorWinsAndSetsEventPending) {
    raise_error(13);
    raise_error(258);
    EXPECT_TRUE(error_pending());
    EXPECT_EQ(pending_error(), 13u);
    EXPECT_EQ(signals.event_pending, 1);
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(ErrorsTest, ZeroAndNegativeCodesBecomeIllegalFunctionCall) {
    for (int32_t code : {0, -7}) {
        reset_error_state();
        raise_error(code);
        EXPECT_EQ(pending_error(), 5u) << "code " << code;
    }
}

TEST_F(ErrorsTest, MessagesComeFromTheTable) {
    EXPECT_STREQ(error_message(5), "Illegal function call");
    EXPECT_STREQ(error_message(76), "Path not found");
    EXPECT_STREQ(error_message(258), "Invalid handle");
    EXPECT_STREQ(error_message(313), "Source and destination memory have been freed");
    EXPECT_STREQ(error_message(999), "Unprintable error");
    EXPECT_STREQ(error_message(11), "Unprintable error");  // critical: never reaches the dialog
    EXPECT_STREQ(error_message(0), "Unprintable error");
}

// Every critical code shows its box and then ends the process as a crash (status 1), even when
// an ordinary error is already pending.
TEST_F(ErrorsTest, CriticalCodesShowTheirBoxAndExitWithStatusOne) {
    struct Case {
        int32_t code;
        const char* caption;
        const char* text;
    };
    const Case cases[] = {
        {11, "Critical Error", "Division by zero"},
        {256, "Critical Error", "Out of stack space"},
        {257, "Critical Error #1", "Out of memory"},
        {259, "Critical Error", "Cannot find dynamic library file"},
        {260, "Critical Error", "Sub/Function does not exist in dynamic library"},
        {261, "Critical Error", "Sub/Function does not exist in dynamic library"},
        {262, "Critical Error", "Function unavailable in Nimbrel"},
        {263, "Critical Error", "Paths/Filename illegal in Nimbrel"},
        {270, "Critical Error", "_GL command called outside of SUB _GL's scope"},
        {271, "Critical Error", "END/SYSTEM called within SUB _GL's scope"},
        {502, "Critical Error #2", "Out of memory"},
        {504, "Critical Error #4", "Out of memory"},
        {512, "Critical Error #12", "Out of memory"},
        {518, "Critical Error #18", "Out of memory"},
    };
    raise_error(5);
    for (const Case& c : cases) {
        fake.boxes.clear();
        int status = -1;
        try {
            raise_error(c.code);
        } catch (const ProcessExited& exited) {
            status = exited.status;
        }
        EXPECT_EQ(status, 1) << "code " << c.code;
        ASSERT_EQ(fake.boxes.size(), 1u) << "code " << c.code;
        EXPECT_EQ(fake.boxes[0].caption, c.caption) << "code " << c.code;
        EXPECT_EQ(fake.boxes[0].text, c.text) << "code " << c.code;
        EXPECT_EQ(fake.boxes[0].kind, platform::BoxKind::ok) << "code " << c.code;
    }
    EXPECT_EQ(pending_error(), 5u);
}

TEST_F(ErrorsTest, CodesNextToTheCriticalRangesAreOrdinary) {
    for (int32_t code : {10, 12, 255, 258, 264, 269, 272, 501, 519}) {
        reset_error_state();
        raise_error(code);
        EXPECT_EQ(pending_error(), static_cast<uint32_t>(code));
    }
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(ErrorsTest, DialogForIllegalFunctionCallAnsweredYesContinues) {
    raise_error(5);
    statement_check(57);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].caption, "Unhandled Error #5");
    EXPECT_EQ(fake.boxes[0].text, "Line: 57 (in main module)\nIllegal function call\nContinue?");
    EXPECT_EQ(fake.boxes[0].kind, platform::BoxKind::yes_no);
    EXPECT_FALSE(error_pending());
    EXPECT_EQ(signals.event_pending, 0);
    EXPECT_EQ(signals.exit_now, 0);
    EXPECT_EQ(repeat_statement(), 0);

    // A new error after the report is recorded again.
    raise_error(13);
    EXPECT_EQ(pending_error(), 13u);
}

TEST_F(ErrorsTest, UnknownCodeIsUnprintableAndABoxThatFailsCountsAsYes) {
    fake.answers = {platform::BoxAnswer::failed};
    raise_error(999);
    statement_check(3);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].caption, "Unhandled Error #999");
    EXPECT_EQ(fake.boxes[0].text, "Line: 3 (in main module)\nUnprintable error\nContinue?");
    EXPECT_FALSE(error_pending());
}

TEST_F(ErrorsTest, ProcedureLocationIsShownWhenItsLineIsGiven) {
    raise_error(13);
    statement_check(80, 4, "SHOWSCREEN");
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Line: 4 (in SHOWSCREEN)\nType mismatch\nContinue?");
}

TEST_F(ErrorsTest, AnsweringNoSetsExitNowAndParksTheProgramThread) {
    fake.answers = {platform::BoxAnswer::no};
    fake.sleep_budget_ms = 160;
    raise_error(5);
    EXPECT_THROW(statement_check(12), SleptTooLong);
    EXPECT_EQ(signals.exit_now, 1);
    EXPECT_EQ(signals.threads_stopped & 1u, 1u);
    for (int32_t ms : fake.sleeps_ms) EXPECT_EQ(ms, 16);
}

TEST_F(ErrorsTest, DialogCriticalRangeShowsOkBoxWithoutQuestionAndExitsOne) {
    for (uint32_t code : {300u, 313u}) {
        reset_error_state();
        fake.boxes.clear();
        raise_error(static_cast<int32_t>(code));
        int status = -1;
        try {
            statement_check(9);
        } catch (const ProcessExited& exited) {
            status = exited.status;
        }
        EXPECT_EQ(status, 1);
        ASSERT_EQ(fake.boxes.size(), 1u);
        EXPECT_EQ(fake.boxes[0].caption, "Critical Error #" + std::to_string(code));
        EXPECT_EQ(fake.boxes[0].text,
                  std::string("Line: 9 (in main module)\n") + error_message(code));
        EXPECT_EQ(fake.boxes[0].kind, platform::BoxKind::ok);
    }
}

TEST_F(ErrorsTest, DialogWithoutBufferExitsOneWithoutABox) {
    set_dialog_buffer_allocator([](size_t) -> void* { return nullptr; });
    raise_error(5);
    int status = -1;
    try {
        statement_check(1);
    } catch (const ProcessExited& exited) {
        status = exited.status;
    }
    set_dialog_buffer_allocator(nullptr);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(ErrorsTest, StatementCheckWithoutErrorOnlyClearsEventPending) {
    signals.event_pending = 1;
    statement_check(1);
    EXPECT_EQ(signals.event_pending, 0);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(fake.sleeps_ms.empty());
}

TEST_F(ErrorsTest, PauseHoldsTheCheckInTenMillisecondSleepsUntilReleased) {
    signals.pause_requested = 1;
    fake.on_sleep = [](FakePlatform& f) {
        if (f.sleeps_ms.size() == 3) runtime_signals().pause_requested = 0;
    };
    raise_error(5);
    statement_check(2);
    EXPECT_EQ(fake.sleeps_ms, (std::vector<int32_t>{10, 10, 10}));
    EXPECT_EQ(fake.boxes.size(), 1u);  // the error is reported after the pause
}

TEST_F(ErrorsTest, StopDuringPauseParksBeforeAnyDialog) {
    signals.pause_requested = 1;
    fake.sleep_budget_ms = 100;
    fake.on_sleep = [](FakePlatform& f) {
        if (f.sleeps_ms.size() == 2) runtime_signals().stop_requested = 1;
    };
    raise_error(5);
    EXPECT_THROW(statement_check(2), SleptTooLong);
    EXPECT_EQ(signals.threads_stopped & 1u, 1u);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(fake.sleeps_ms[0], 10);
    EXPECT_EQ(fake.sleeps_ms[1], 10);
    EXPECT_EQ(fake.sleeps_ms[2], 16);
}

TEST_F(ErrorsTest, AlertsAreOkBoxesCaptionedAlert) {
    show_alert("gluBuild2DMipmaps failed");
    show_alert_number(-42);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[0].caption, "Alert");
    EXPECT_EQ(fake.boxes[0].text, "gluBuild2DMipmaps failed");
    EXPECT_EQ(fake.boxes[0].kind, platform::BoxKind::ok);
    EXPECT_EQ(fake.boxes[1].caption, "Alert");
    EXPECT_EQ(fake.boxes[1].text, "-42");
}

}  // namespace
