#include "runtime/platform/platform.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

TEST(PlatformPaths, DirectoryIsCutAtTheLastSlashOnly) {
    struct Case {
        const char* path;
        const char* directory;
    };
    const Case cases[] = {
        {"/usr/local/bin/tarrowgate", "/usr/local/bin"},
        {"/tarrowgate", "/"},
        {"/games/case:files/tarrowgate", "/games/case:files"},  // a colon is part of a name
        {"/games/tarrow:gate", "/games"},
        {"/a/b/", "/a/b"},
        {"tarrowgate", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::directory_of(c.path), c.directory) << c.path;
}

TEST(PlatformPaths, ExecutablePathNamesThisTestProgram) {
    const std::string path = platform::executable_path();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "platform_tests");
}

TEST(PlatformClock, MonotonicClockAdvancesAcrossASleep) {
    const int64_t before_ms = platform::monotonic_ms();
    platform::sleep_ms(0);  // a yield: about a tenth of a millisecond
    platform::sleep_ms(5);
    EXPECT_GE(platform::monotonic_ms() - before_ms, 5);
}

// A loop that polls with zero-length sleeps must not keep the processor busy, even when no other
// thread is ready to run (a bare yield then returns at once): every such sleep really blocks the
// thread, which the kernel counts as a voluntary context switch.
TEST(PlatformClock, ZeroLengthSleepGivesTheProcessorAway) {
    auto voluntary_switches = [] {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return usage.ru_nvcsw;
    };
    constexpr long sleeps = 200;
    const long before = voluntary_switches();
    for (long i = 0; i < sleeps; ++i) platform::sleep_ms(0);
    EXPECT_GE(voluntary_switches() - before, sleeps);
}

TEST(PlatformClock, WallClockAndLocalTime) {
    const int64_t now = platform::wall_seconds();
    EXPECT_LE(std::abs(now - static_cast<int64_t>(std::time(nullptr))), 1);

    const char* saved = std::getenv("TZ");
    const std::string saved_tz = saved != nullptr ? saved : "";
    setenv("TZ", "UTC", 1);
    tzset();
    // 1 March 2024, 06:30:15 UTC (a leap year: 60 days into the year).
    const std::tm t = platform::local_time(1'709'274'615);
    EXPECT_EQ(t.tm_year, 124);
    EXPECT_EQ(t.tm_mon, 2);
    EXPECT_EQ(t.tm_mday, 1);
    EXPECT_EQ(t.tm_hour, 6);
    EXPECT_EQ(t.tm_min, 30);
    EXPECT_EQ(t.tm_sec, 15);
    if (saved != nullptr) {
        setenv("TZ", saved_tz.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

volatile std::sig_atomic_t fpe_signals_seen = 0;

TEST(PlatformSignals, FloatingPointExceptionHandlerIsInstalled) {
    platform::install_fpe_handler([](int signal_number) {
        if (signal_number == SIGFPE) fpe_signals_seen = fpe_signals_seen + 1;
    });
    std::raise(SIGFPE);
    EXPECT_EQ(fpe_signals_seen, 1);
    signal(SIGFPE, SIG_DFL);
}

TEST(PlatformSeams, ResetPutsTheRealServicesBack) {
    platform::seams().monotonic_ms = [] { return int64_t{42}; };
    EXPECT_EQ(platform::monotonic_ms(), 42);
    platform::reset_seams();
    EXPECT_NE(platform::monotonic_ms(), 42);
}

}  // namespace
