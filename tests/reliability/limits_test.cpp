// The string heap at the edges: a result longer than a string can be, and the heap grown many
// times over with every live string carried along intact.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "runtime/core/signals.h"
#include "runtime/input/low_memory.h"
#include "runtime/platform/platform.h"

namespace {

struct ProcessExited {
    int status;
};

std::vector<std::string> boxes;

platform::BoxAnswer record_box(const char* caption, const char* text, platform::BoxKind) {
    boxes.push_back(std::string(caption) + "|" + text);
    return platform::BoxAnswer::ok;
}

[[noreturn]] void throwing_exit(int status) { throw ProcessExited{status}; }

class StringLimits : public testing::Test {
protected:
    void SetUp() override {
        platform::reset_seams();
        platform::seams().message_box = record_box;
        platform::seams().exit_process = throwing_exit;
        boxes.clear();
        reset_error_state();
        reset_runtime_signals();
        init_low_memory();
        init_string_state();
    }
    void TearDown() override { platform::reset_seams(); }
};

// Lengths whose sum does not fit a string's 32-bit length. The operands are read-only literals
// that claim these lengths over a few real bytes: a concatenation that went ahead would read far
// past them, so only the check before any copy keeps this test alive.
struct TooLong {
    int32_t first, second;
};

TEST_F(StringLimits, AConcatenationLongerThanAStringCanBeIsOutOfMemory) {
    static const char bytes[16] = "fifteen letters";
    for (const TooLong lengths : {TooLong{INT32_MAX, 1}, TooLong{1 << 30, 1 << 30},
                                  TooLong{INT32_MAX, INT32_MAX}}) {
        SCOPED_TRACE(std::to_string(lengths.first) + " + " + std::to_string(lengths.second));
        boxes.clear();
        const uint32_t mark = temp_mark();
        RtString* a = string_from_literal(bytes, lengths.first);
        RtString* b = string_from_literal(bytes, lengths.second);
        int status = -1;
        try {
            string_concat(a, b);
        } catch (const ProcessExited& exited) {
            status = exited.status;
        }
        EXPECT_EQ(status, 1);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], "Critical Error #12|Out of memory");
        release_temporaries(mark);
    }
}

// Sixty-four variables of a mebibyte each, every one different, assigned one after another: the
// heap grows several times and moves; every value must survive each move.
TEST_F(StringLimits, HeapGrowsManyTimesAndEveryLiveStringKeepsItsBytes) {
    constexpr int variable_count = 64;
    constexpr int32_t length = 1 << 20;
    std::vector<RtString*> variables;
    auto expected_byte = [](int v, int32_t i) { return static_cast<char>('A' + (v * 7 + i) % 26); };
    const uint64_t first_size = string_heap_stats().heap_size;
    for (int v = 0; v < variable_count; ++v) {
        const uint32_t mark = temp_mark();
        RtString* value = string_spaces(length);
        for (int32_t i = 0; i < length; ++i) value->data[i] = expected_byte(v, i);
        variables.push_back(string_assign(string_new(0, false), value));
        release_temporaries(mark);
        for (int w = 0; w <= v; w += 9) {  // a sample of the older ones after every step
            const RtString* s = variables[static_cast<size_t>(w)];
            ASSERT_EQ(s->length, length);
            ASSERT_EQ(s->data[length / 3], expected_byte(w, length / 3)) << "variable " << w;
        }
    }
    EXPECT_GE(string_heap_stats().heap_size, first_size * 64);
    for (int v = 0; v < variable_count; ++v) {
        const RtString* s = variables[static_cast<size_t>(v)];
        ASSERT_EQ(s->length, length);
        for (int32_t i = 0; i < length; i += 4093) ASSERT_EQ(s->data[i], expected_byte(v, i));
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(error_pending());
}

}  // namespace
