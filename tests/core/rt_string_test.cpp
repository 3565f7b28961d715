#include "runtime/core/rt_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/core/fake_seams.h"

namespace {

class StringsTest : public ::testing::Test {
protected:
    StringsTest() { init_string_state(); }

    FakePlatformScope fakes;

    // A string placed like any new one: at the top, with 32 spare bytes behind it.
    static RtString* placed(std::string_view text, bool temporary) {
        RtString* s = string_new(static_cast<int32_t>(text.size()), temporary);
        std::memcpy(s->data, text.data(), text.size());
        return s;
    }
    static RtString* variable(std::string_view text) { return placed(text, false); }
    static RtString* temporary(std::string_view text) { return placed(text, true); }
    static uint64_t offset(const RtString* s) {
        return static_cast<uint64_t>(s->data - string_heap_start());
    }
    static std::string text(const RtString* s) { return std::string(string_view_of(s)); }
};

TEST_F(StringsTest, NewStringsAreBumpAllocatedWithThirtyTwoSpareBytes) {
    RtString* a = string_new(10, false);
    RtString* b = string_new(20, true);
    EXPECT_EQ(offset(a), 0u);
    EXPECT_EQ(offset(b), 42u);
    const StringHeapStats stats = string_heap_stats();
    EXPECT_EQ(stats.heap_used, 94u);
    EXPECT_EQ(stats.heap_size, 1'048'576u);
    EXPECT_EQ(stats.string_list_count, 2u);
    EXPECT_EQ(stats.temp_count, 2u);  // slot 0 is never used
    EXPECT_EQ(b->temp_list_index, 1u);
    EXPECT_EQ(a->temp_list_index, 0u);
}

// t = UCASE(t + CHR(99)): the final assignment takes over the temporary's bytes.
TEST_F(StringsTest, AssignmentTakesOverATemporaryWithoutCopying) {
    RtString* t = variable("ab");
    const uint32_t mark = temp_mark();
    RtString* result = string_upper(string_concat(t, string_from_code('c')));
    char* result_bytes = result->data;
    const uint32_t free_before = string_heap_stats().free_descriptor_count;

    EXPECT_EQ(string_assign(t, result), t);
    EXPECT_EQ(t->data, result_bytes);
    EXPECT_EQ(text(t), "ABC");
    EXPECT_EQ(t->is_temporary, 0);
    EXPECT_EQ(string_heap_stats().free_descriptor_count, free_before + 1);
    release_temporaries(mark);
    EXPECT_EQ(temp_mark(), mark);
    EXPECT_EQ(text(t), "ABC");
    // The variable now owns the temporary's allocation slot: freeing it empties the heap.
    string_free(t);
    EXPECT_EQ(string_heap_stats().heap_used, 0u);
    EXPECT_EQ(string_heap_stats().string_list_count, 0u);
}

TEST_F(StringsTest, PlainHeapTemporariesAreReusedInPlace) {
    RtString* t = temporary("  mixed Case  ");
    char* bytes = t->data;
    EXPECT_EQ(string_upper(t), t);
    EXPECT_EQ(text(t), "  MIXED CASE  ");
    EXPECT_EQ(string_trim_right(t), t);
    EXPECT_EQ(string_trim_left(t), t);
    EXPECT_EQ(text(t), "MIXED CASE");
    EXPECT_EQ(t->data, bytes + 2);
    EXPECT_EQ(string_left(t, 5), t);
    EXPECT_EQ(text(t), "MIXED");
    EXPECT_EQ(string_heap_stats().string_list_count, 1u);
}

TEST_F(StringsTest, ConstantsAndVariablesAreCopiedNotChanged) {
    RtString* v = variable("  keep me  ");
    const uint32_t mark = temp_mark();
    RtString* upper = string_upper(v);
    RtString* trimmed = string_trim_left(v);
    RtString* right = string_trim_right(v);
    RtString* left = string_left(v, 4);
    for (RtString* r : {upper, trimmed, right, left}) {
        EXPECT_NE(r, v);
        EXPECT_EQ(r->is_temporary, 1);
    }
    EXPECT_EQ(text(upper), "  KEEP ME  ");
    EXPECT_EQ(text(trimmed), "keep me  ");
    EXPECT_EQ(text(right), "  keep me");
    EXPECT_EQ(text(left), "  ke");
    EXPECT_EQ(text(v), "  keep me  ");

    // A read-only temporary is released once copied; its bytes are never written.
    const char constant[] = "abc";
    const uint32_t free_before = string_heap_stats().free_descriptor_count;
    RtString* copied = string_upper(string_from_literal(constant, 3));
    EXPECT_EQ(text(copied), "ABC");
    EXPECT_STREQ(constant, "abc");
    EXPECT_EQ(string_heap_stats().free_descriptor_count, free_before + 1);
    release_temporaries(mark);
}

TEST_F(StringsTest, OperationsThatNeedNoChangeReturnTheirArgument) {
    RtString* v = variable("word");
    RtString* empty = string_new(0, false);
    EXPECT_EQ(string_concat(v, empty), v);  // the variable itself, not a temporary
    EXPECT_EQ(string_concat(empty, v), v);
    EXPECT_EQ(string_left(v, 4), v);
    EXPECT_EQ(string_left(v, 99), v);
    EXPECT_EQ(string_trim_left(v), v);
    EXPECT_EQ(string_trim_right(v), v);
    EXPECT_EQ(string_upper(empty), empty);
}

TEST_F(StringsTest, LeftAndSpacesClampNegativeCounts) {
    RtString* empty = string_new(0, true);
    EXPECT_EQ(string_left(empty, -1)->length, 0);
    EXPECT_EQ(string_left(temporary("abc"), -5)->length, 0);
    EXPECT_EQ(string_spaces(-3)->length, 0);
    EXPECT_EQ(text(string_spaces(3)), "   ");
    EXPECT_FALSE(error_pending());
}

TEST_F(StringsTest, ConcatCopiesBothAndReleasesTemporaries) {
    RtString* v = variable("left");
    RtString* t = temporary("right");
    const uint32_t list_before = string_heap_stats().string_list_count;
    RtString* joined = string_concat(v, t);
    EXPECT_EQ(text(joined), "leftright");
    EXPECT_EQ(text(v), "left");
    // The temporary's slot was freed, the new temporary took a new one.
    EXPECT_EQ(string_heap_stats().string_list_count, list_before + 1);
}

TEST_F(StringsTest, CodeOutsideAByteRaisesIllegalFunctionCallAndGivesEmpty) {
    EXPECT_EQ(text(string_from_code(65)), "A");
    EXPECT_EQ(static_cast<uint8_t>(string_from_code(255)->data[0]), 255);
    RtString* bad = string_from_code(256);
    EXPECT_EQ(bad->length, 0);
    EXPECT_EQ(bad->is_temporary, 1);
    EXPECT_EQ(pending_error(), 5u);
    reset_error_state();
    EXPECT_EQ(string_from_code(-1)->length, 0);
    EXPECT_EQ(pending_error(), 5u);
}

TEST_F(StringsTest, ReleaseTemporariesSweepsEverythingAboveTheMark) {
    RtString* v = variable("kept");
    const uint32_t mark = temp_mark();
    string_spaces(10);
    string_from_literal("literal");
    string_from_code(33);
    EXPECT_EQ(string_heap_stats().temp_count, mark + 3);
    EXPECT_EQ(release_temporaries(mark, 77), 77);
    EXPECT_EQ(string_heap_stats().temp_count, mark);
    EXPECT_EQ(string_heap_stats().heap_used, 4u + 32u);  // 32 past the only string left
    EXPECT_EQ(text(v), "kept");
}

TEST_F(StringsTest, FreeingTheTopStringLowersHeapUsedToThirtyTwoPastTheNewTop) {
    RtString* a = string_new(10, false);
    RtString* b = string_new(20, false);
    RtString* c = string_new(5, false);
    EXPECT_EQ(string_heap_stats().heap_used, 131u);
    string_free(c);
    EXPECT_EQ(string_heap_stats().heap_used, 42u + 20u + 32u);
    string_free(a);  // a middle slot: the top is still b
    EXPECT_EQ(string_heap_stats().heap_used, 94u);
    EXPECT_EQ(string_heap_stats().string_list_count, 2u);
    string_free(b);
    EXPECT_EQ(string_heap_stats().heap_used, 0u);
    EXPECT_EQ(string_heap_stats().string_list_count, 0u);
}

TEST_F(StringsTest, FreedDescriptorsAreRecycledZeroFilled) {
    RtString* t = temporary("x");
    const uint64_t made = string_heap_stats().descriptors_made;
    string_free(t);
    RtString* again = string_new(3, false);
    EXPECT_EQ(again, t);
    EXPECT_EQ(again->is_temporary, 0);
    EXPECT_EQ(again->temp_list_index, 0u);
    EXPECT_EQ(string_heap_stats().descriptors_made, made);
}

TEST_F(StringsTest, CompactionMovesOnlyStringsBehindGapsOverThirtyTwoBytes) {
    RtString* first = variable("0123456789");                  // at 0
    RtString* second = string_left(temporary("abcdefghij"), 9);  // at 42, gap 32 before it
    RtString* third = variable("ABCDEFGHIJ");                  // at 84, gap 33 after `second`
    RtString* big = string_new(600'000, false);                // at 126
    RtString* fourth = variable("tail");                       // far up
    string_free(big);
    ASSERT_EQ(offset(second), 42u);
    ASSERT_EQ(offset(third), 84u);

    RtString* request = string_new(500'000, true);  // does not fit on top: compaction, no growth
    EXPECT_EQ(string_heap_stats().heap_size, 1'048'576u);
    EXPECT_EQ(offset(first), 0u);
    EXPECT_EQ(offset(second), 42u);
    EXPECT_EQ(offset(third), 51u);
    EXPECT_EQ(offset(fourth), 61u);
    EXPECT_EQ(offset(request), 65u);
    EXPECT_EQ(string_heap_stats().heap_used, 65u + 500'000u + 32u);
    EXPECT_EQ(text(first), "0123456789");
    EXPECT_EQ(text(second), "abcdefghi");
    EXPECT_EQ(text(third), "ABCDEFGHIJ");
    EXPECT_EQ(text(fourth), "tail");
}

// An operation that copies a variable makes room for its result first; when that compacts the
// heap the variable itself moves, and the copy must come from where it now stands.
TEST_F(StringsTest, CopiesOfAVariableFollowItWhenMakingRoomMovesIt) {
    struct Case {
        const char* name;
        RtString* (*operation)(RtString*);
        const char* expected;
    };
    const Case cases[] = {
        {"upper", [](RtString* s) { return string_upper(s); }, "  MIXED CASE  "},
        {"left", [](RtString* s) { return string_left(s, 7); }, "  mixed"},
        {"trim_left", [](RtString* s) { return string_trim_left(s); }, "mixed Case  "},
        {"trim_right", [](RtString* s) { return string_trim_right(s); }, "  mixed Case"},
    };
    for (const Case& c : cases) {
        init_string_state();
        RtString* gap = variable(std::string(100, 'g'));
        RtString* source = variable("  mixed Case  ");
        const StringHeapStats stats = string_heap_stats();
        // Everything after the source fills the heap but for a few bytes, so the result does
        // not fit on top and the freed gap is compacted away, moving the source down.
        RtString* filler = string_new(static_cast<int32_t>(stats.heap_size - stats.heap_used - 42),
                                      false);
        std::memset(filler->data, 'f', static_cast<size_t>(filler->length));
        string_free(gap);
        const char* before = source->data;
        EXPECT_EQ(text(c.operation(source)), c.expected) << c.name;
        EXPECT_NE(source->data, before) << c.name << ": the heap was not compacted";
        EXPECT_EQ(text(source), "  mixed Case  ") << c.name;
    }
}

TEST_F(StringsTest, HeapGrowsWhenCompactionLeavesTooLittleRoom) {
    RtString* first = variable("survivor");
    RtString* second = variable("second");
    RtString* huge = string_new(2'000'000, true);
    const StringHeapStats stats = string_heap_stats();
    // New size = request (length + 32) + twice the old size.
    EXPECT_EQ(stats.heap_size, 2'000'032u + 2u * 1'048'576u);
    EXPECT_EQ(offset(first), 0u);
    EXPECT_EQ(offset(second), 40u);
    // The compaction before growing set heap_used to the end of `second`, spare bytes dropped.
    EXPECT_EQ(offset(huge), 46u);
    EXPECT_EQ(text(first), "survivor");
    EXPECT_EQ(text(second), "second");
    std::memset(huge->data, 'x', 2'000'000);  // the whole string lies inside the heap
    EXPECT_EQ(stats.heap_used, 46u + 2'000'032u);
}

TEST_F(StringsTest, AssignmentGrowsInPlaceOrRelocates) {
    // Top string: grows in place up to its new end.
    RtString* top = string_new(0, false);
    string_assign(top, string_from_literal("a string longer than thirty-two bytes!"));
    EXPECT_EQ(offset(top), 0u);
    EXPECT_EQ(string_heap_stats().heap_used, 38u);
    EXPECT_EQ(text(top), "a string longer than thirty-two bytes!");
    string_free(top);

    // The next string starts far enough behind: in place.
    RtString* a = string_new(0, false);
    RtString* b = string_new(0, false);
    string_assign(a, string_from_literal("twenty bytes exactly"));
    EXPECT_EQ(offset(a), 0u);
    // Now it would run into b: relocated to the top, without spare bytes.
    const uint64_t used = string_heap_stats().heap_used;
    string_assign(a, string_from_literal("thirty-three bytes, which is more"));
    EXPECT_EQ(offset(a), used);
    EXPECT_EQ(string_heap_stats().heap_used, used + 33u);
    EXPECT_EQ(a->list_index, 2u);
    EXPECT_EQ(text(a), "thirty-three bytes, which is more");
    EXPECT_EQ(offset(b), 32u);

    // Shorter values are copied into the variable's place.
    string_assign(a, string_from_literal("short"));
    EXPECT_EQ(offset(a), used);
    EXPECT_EQ(text(a), "short");
}

TEST_F(StringsTest, AssignmentFromAVariableCopiesAndKeepsTheSource) {
    RtString* source = variable("shared value");
    RtString* dest = variable("x");
    string_assign(dest, source);
    EXPECT_NE(dest->data, source->data);
    EXPECT_EQ(text(dest), "shared value");
    EXPECT_EQ(text(source), "shared value");
    string_assign(dest, dest);
    EXPECT_EQ(text(dest), "shared value");
}

TEST_F(StringsTest, FixedLengthDestinationIsPaddedOrCut) {
    char bytes[5] = {};
    RtString fixed;
    fixed.data = bytes;
    fixed.length = 5;
    fixed.is_fixed = 1;
    string_assign(&fixed, string_from_literal("ab"));
    EXPECT_EQ(std::string(bytes, 5), "ab   ");
    string_assign(&fixed, temporary("abcdefgh"));
    EXPECT_EQ(std::string(bytes, 5), "abcde");
    EXPECT_EQ(fixed.length, 5);
    EXPECT_EQ(string_heap_stats().string_list_count, 0u);  // the temporary was freed
}

TEST_F(StringsTest, FindFollowsEveryStartRule) {
    struct Case {
        int32_t start;
        bool start_given;
        const char* haystack;
        const char* needle;
        int32_t expected;
    };
    const Case cases[] = {
        {0, false, "", "", 0},           // empty haystack
        {0, false, "", "a", 0},
        {0, false, "abc", "", 1},        // empty needle: the start, 1 by default
        {2, true, "abc", "", 2},
        {3, true, "abc", "", 3},
        {0, true, "abc", "", 0},         // start <= 0 with an empty needle
        {-3, true, "abcabc", "c", 3},    // start <= 0 otherwise counts as 1
        {4, true, "abc", "", 0},         // start past the end
        {4, true, "abc", "c", 0},
        {3, true, "abc", "c", 3},
        {3, true, "abc", "bc", 0},       // needle would run past the end
        {1, true, "abc", "abcd", 0},
        {99, false, "abcabc", "ca", 3},  // a start not given is ignored
        {2, true, "abcabc", "abc", 4},
        {1, true, "aab", "ab", 2},       // a failed candidate does not skip the next
        {1, true, "abc", "x", 0},
        {1, true, "abc", "abc", 1},
    };
    for (const Case& c : cases) {
        const uint32_t mark = temp_mark();
        const int32_t found = string_find(c.start, c.start_given, string_from_literal(c.haystack),
                                          string_from_literal(c.needle));
        EXPECT_EQ(found, c.expected) << "find \"" << c.needle << "\" in \"" << c.haystack
                                     << "\" from " << c.start << (c.start_given ? "" : " (not given)");
        release_temporaries(mark);
    }
}

TEST_F(StringsTest, EqualityIsMinusOneForTrue) {
    struct Case {
        const char* a;
        const char* b;
        int32_t equal;
    };
    const Case cases[] = {{"", "", -1}, {"abc", "abc", -1}, {"abc", "abd", 0}, {"abc", "ab", 0},
                          {"", "a", 0}, {"ABC", "abc", 0}};
    for (const Case& c : cases) {
        RtString* a = string_from_literal(c.a);
        RtString* b = string_from_literal(c.b);
        EXPECT_EQ(string_equal(a, b), c.equal) << c.a << " = " << c.b;
        EXPECT_EQ(string_not_equal(a, b), c.equal == -1 ? 0 : -1) << c.a << " <> " << c.b;
    }
}

TEST_F(StringsTest, ListsGrowPastTheirStartingCapacity) {
    const uint32_t mark = temp_mark();
    for (int i = 0; i < 70'000; ++i) string_new(0, true);
    EXPECT_EQ(string_heap_stats().temp_count, mark + 70'000u);
    EXPECT_EQ(string_heap_stats().string_list_count, 70'000u);
    release_temporaries(mark);
    EXPECT_EQ(string_heap_stats().temp_count, mark);
    EXPECT_EQ(string_heap_stats().string_list_count, 0u);
    EXPECT_EQ(string_heap_stats().heap_used, 0u);
    EXPECT_EQ(string_heap_stats().free_descriptor_count, 70'000u);
}

TEST_F(StringsTest, StartUpCreatesTheSharedConstants) {
    EXPECT_EQ(shared_empty_string()->length, 0);
    EXPECT_EQ(text(shared_space_string()), " ");
    EXPECT_EQ(shared_space_string()->is_readonly, 1);
    EXPECT_EQ(string_heap_stats().string_list_count, 0u);
    EXPECT_EQ(string_heap_stats().temp_count, 1u);
}

}  // namespace
