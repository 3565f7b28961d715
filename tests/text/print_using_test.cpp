// Formatted printing through templates. Rows marked "table" are the reference examples of
// templates and outputs; the others are worked out by hand from the layout rules and the exact
// binary values (0.35f is 0.349999994..., 0.005f is 0.00499999988..., 2.345f is 2.34500002...).
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "runtime/text/cursor.h"
#include "runtime/text/print_using.h"
#include "runtime/text/private/print_using_layout.h"
#include "tests/support/fresh_text_runtime.h"
#include "tests/support/page_text.h"

namespace {

// A descriptor over C++ text that needs no string heap, so the engine can be tested alone.
RtString view_string(std::string_view text) {
    RtString s;
    s.data = const_cast<char*>(text.data());
    s.length = static_cast<int32_t>(text.size());
    s.is_readonly = 1;
    return s;
}

struct Formatted {
    std::string text;
    int32_t next_position = 0;
    uint32_t error = 0;
};

template <typename Value, typename FrontEnd>
Formatted format_one(FrontEnd front_end, std::string_view template_text, Value value,
                     int32_t start = 0) {
    reset_error_state();
    const RtString tmpl = view_string(template_text);
    FormattedText output;
    Formatted result;
    result.next_position = front_end(&tmpl, value, start, output);
    result.text = std::string(formatted_view(output));
    result.error = pending_error();
    reset_error_state();
    return result;
}

Formatted single(std::string_view t, float v, int32_t start = 0) {
    return format_one(print_using, t, v, start);
}
Formatted dbl(std::string_view t, double v) { return format_one(print_using_double, t, v); }
Formatted extended(std::string_view t, long double v) {
    return format_one(print_using_extended, t, v);
}
Formatted integer(std::string_view t, int64_t v) { return format_one(print_using_integer, t, v); }
Formatted unsigned_integer(std::string_view t, uint64_t v) {
    return format_one(print_using_unsigned, t, v);
}
Formatted string_value(std::string_view t, std::string_view v) {
    reset_error_state();
    const RtString tmpl = view_string(t);
    const RtString value = view_string(v);
    FormattedText output;
    Formatted result;
    result.next_position = format_with_template(&tmpl, 0, output, &value);
    result.text = std::string(formatted_view(output));
    result.error = pending_error();
    reset_error_state();
    return result;
}

struct SingleCase {
    const char* template_text;
    float value;
    const char* expected;
};

TEST(PrintUsingTest, SingleValuesInNumberFields) {
    const SingleCase cases[] = {
        {"##.##", 2.345f, " 2.35"},          // table: rounds on the digits after 2.34
        {"#.##", 9.996f, "%10.00"},          // table: the carry makes the number too wide
        {"###", 0.0f, "  0"},                // table
        {"###", -5.0f, " -5"},               // table
        {"###", -100.0f, "%-100"},           // table: the sign needs a place too
        {"##", -0.4f, "-0"},                 // table
        {".##", 0.0f, ".00"},                // table: zero shows no integer digit
        {".##", 0.005f, ".00"},              // table: just below 0.005
        {"#.#", 0.25f, "0.3"},               // table: an exact tie rounds up
        {"#.#", 0.35f, "0.3"},               // table: just below 0.35
        {"+###", 5.0f, "+  5"},              // table: the sign comes before the fill
        {"###-", -5.0f, "  5-"},             // table
        {"##,###", 1234.0f, " 1,234"},       // table
        {"#,###,###", 1234567.0f, "1,234,567"},  // table
        {"**###", 12.0f, "***12"},           // table
        {"$$###", 12.0f, "  $12"},           // table
        {"**$###", 12.0f, "***$12"},         // table
        {"##.##^^^^", 123.456f, " 1.23E+02"},    // table
        {"##.##^^^^^", 1.5e-20f, " 1.50E-020"},  // table: 1.4999999e-20 rounds up
        {".##^^^^", 5.0f, "0.5E+01"},        // table: the sign place shows "0"
        {"##", -0.6f, "-1"},                 // no digit written, yet the next one rounds up
        {".##", 0.996f, "%1.00"},            // the carry creates an integer digit
        {".##", 0.006f, ".01"},
        {".##", 6e-7f, ".00"},               // the digit after the field is a zero place
        {".#", -0.05f, "%-.1"},              // no place left for the sign
        {"#", -0.0f, "-"},                   // negative zero, sign place taken, no digit
        {"###.##", -12.345f, "-12.35"},      // -12.3450002
        {"+#.#", -0.25f, "-0.3"},
        {"#.#+", 0.25f, "0.3+"},
        {"#,###", 1234567.0f, "%1,234,567"},
        {"**#", 0.0f, "**0"},
        {"#^^^^", 5.0f, "5E+00"},            // the sign place is given back to the digit
        {"#^^^^", -5.0f, "%-5E+00"},         // no place left for a digit
        {"##.##^^^^+", 123.456f, "12.35E+01+"},
        {"#.#^^^^", 9.99f, "0.1E+02"},       // rounding moves the exponent
        {"##.##^^^^", 0.0f, " 0.00E+00"},
        {"##x", 123.0f, "%123x"},            // the literal after an overflowing field follows
    };
    for (const SingleCase& c : cases) {
        const Formatted result = single(c.template_text, c.value);
        EXPECT_EQ(result.text, c.expected) << "template \"" << c.template_text << "\" value "
                                           << c.value;
        EXPECT_EQ(result.error, 0u) << c.template_text;
        EXPECT_EQ(result.next_position, 0) << c.template_text;
    }
}

TEST(PrintUsingTest, OtherFrontEnds) {
    // 1.115 as a double is 1.11499999..., so it rounds down where the single (1.11500000...)
    // rounds up.
    EXPECT_EQ(dbl("#.##", 1.115).text, "1.11");
    EXPECT_EQ(single("#.##", 1.115f).text, "1.12");
    EXPECT_EQ(dbl("##.##^^^^", 123.456).text, " 1.23D+02");
    EXPECT_EQ(dbl("#.#^^^^", 1e100).text, "%0.1D+101");  // exponent widened to three digits
    EXPECT_EQ(extended(".#", 0.5L).text, ".5");
    EXPECT_EQ(extended(".##", 0.05L).text, ".05");
    EXPECT_EQ(extended("##.##^^^^", 0.05L).text, " 5.00F-02");
    EXPECT_EQ(extended("#,###.##", 1234.5L).text, "1,234.50");
    EXPECT_EQ(integer("#.##", 5).text, "5.00");
    EXPECT_EQ(integer("#", std::numeric_limits<int64_t>::min()).text, "%-9223372036854775808");
    EXPECT_EQ(integer("##^^^^", -42).text, "-4E+01");
    EXPECT_EQ(unsigned_integer("#,###", std::numeric_limits<uint64_t>::max()).text,
              "%18,446,744,073,709,551,615");
}

TEST(PrintUsingTest, HugeExtendedValueIsWrittenInFull) {
    // 4933 integer digits: more than the form holds and more than the inline output buffer.
    const Formatted result = extended("#", std::numeric_limits<long double>::max());
    ASSERT_EQ(result.text.size(), 1u + 4933u);
    EXPECT_EQ(result.text.substr(0, 13), "%118973149535");
    EXPECT_EQ(result.error, 0u);
}

TEST(PrintUsingTest, CountdownTemplate) {
    // table: " ###:##.###" with minutes and seconds.
    struct Row {
        float minutes;
        float seconds;
        const char* expected;
    };
    const Row rows[] = {
        {29, 59.5f, "  29:59.500"},  {30, 0, "  30: 0.000"},   {0, 5.25f, "   0: 5.250"},
        {12, 12.3456f, "  12:12.346"}, {5, 9.9996f, "   5:10.000"}, {1000, 1, " %1000: 1.000"},
        {-1, -2.5f, "  -1:-2.500"},
    };
    const RtString tmpl = view_string(" ###:##.###");
    for (const Row& row : rows) {
        reset_error_state();
        FormattedText output;
        const int32_t between = print_using(&tmpl, row.minutes, 0, output);
        EXPECT_EQ(between, 5) << row.expected;  // the seconds field
        EXPECT_EQ(print_using(&tmpl, row.seconds, between, output), 0) << row.expected;
        EXPECT_EQ(formatted_view(output), row.expected);
        EXPECT_FALSE(error_pending());
    }
}

TEST(PrintUsingTest, LiteralsUnderscoreAndReuse) {
    EXPECT_EQ(single("_###", 5).text, "# 5");    // "_#" is a literal "#"
    EXPECT_EQ(single("##_", 5).text, " 5_");     // a final "_" is itself copied
    EXPECT_EQ(single("__##", 5).text, "_ 5");
    EXPECT_EQ(single("A##B", 7).text, "A 7B");   // the literal after the last field comes along

    // A call that starts after the last field runs on from the template's start.
    const Formatted again = single("#x", 5, 1);
    EXPECT_EQ(again.text, "x5x");
    EXPECT_EQ(again.next_position, 0);

    // A start outside the template would read outside it: the call starts at the beginning.
    for (const int32_t start : {-1, 3, 1000}) {
        const Formatted outside = single("#x", 5, start);
        EXPECT_EQ(outside.text, "5x") << start;
        EXPECT_EQ(outside.error, 0u) << start;
    }

    // Three values through a two-field template: the third starts it again from the start.
    const RtString tmpl = view_string("#;#;");
    reset_error_state();
    FormattedText output;
    int32_t position = print_using(&tmpl, 1, 0, output);
    EXPECT_EQ(position, 2);
    position = print_using(&tmpl, 2, position, output);
    EXPECT_EQ(position, 0);
    position = print_using(&tmpl, 3, position, output);
    EXPECT_EQ(position, 2);
    EXPECT_EQ(formatted_view(output), "1;2;3;");
    EXPECT_FALSE(error_pending());
}

TEST(PrintUsingTest, StringFields) {
    EXPECT_EQ(string_value("[&]", "Vellam").text, "[Vellam]");
    EXPECT_EQ(string_value("[!]", "Vellam").text, "[V]");
    EXPECT_EQ(string_value("[\\  \\]", "Vellam").text, "[Vell]");  // four places
    EXPECT_EQ(string_value("[\\\\]", "Vellam").text, "[Ve]");      // two backslashes: two
    EXPECT_EQ(string_value("[\\  \\]", "Al").text, "[Al  ]");
    EXPECT_EQ(string_value("\\x&", "A").text, "\\xA");  // an unclosed backslash is a literal
    EXPECT_EQ(string_value("&;&", "A").next_position, 2);
}

TEST(PrintUsingTest, ErrorsRaiseTheirNumbersAndKeepTheOutputAsTheTableSays) {
    constexpr float infinity = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        Formatted result;
        uint32_t error;
        const char* text;
    };
    const Case cases[] = {
        {"infinity", single("##", infinity), 5, ""},
        {"minus infinity", single("A##", -infinity), 5, ""},
        {"not a number", single("##", std::nanf("")), 5, ""},
        {"double infinity", dbl("##", std::numeric_limits<double>::infinity()), 5, ""},
        {"extended nan", extended("##", std::nanl("")), 5, ""},
        {"no field at all", single("abc", 1), 5, "abc"},
        {"lone signs and marks", single("+$*.x", 1), 5, "+$*.x"},
        {"empty template", single("", 1), 5, ""},
        {"no field, started inside", single("abc", 1, 1), 5, "bcabc"},
        {"string value, number field", string_value("A#", "x"), 13, "A"},
        {"number value, string field", single("A&", 1), 13, "A"},
        {"number value, backslash field", single("B\\ \\", 1), 13, "B"},
        {"string value, no field", string_value("ab", "x"), 5, "ab"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result.error, c.error) << c.what;
        EXPECT_EQ(c.result.text, c.text) << c.what;
        EXPECT_EQ(c.result.next_position, 0) << c.what;
    }

    reset_error_state();
    const RtString null_template_value = view_string("x");
    FormattedText output;
    EXPECT_EQ(format_with_template(nullptr, 0, output, &null_template_value), 0);
    EXPECT_EQ(pending_error(), 5u);
    reset_error_state();
}

TEST(PrintUsingTest, PendingErrorLeavesTheOutputAlone) {
    reset_error_state();
    raise_error(error_invalid_handle);
    const RtString tmpl = view_string("A##");
    FormattedText output;
    formatted_append(output, "kept");
    EXPECT_EQ(print_using(&tmpl, 5, 0, output), 0);
    EXPECT_EQ(print_using_double(&tmpl, 5, 0, output), 0);
    EXPECT_EQ(print_using_extended(&tmpl, 5, 0, output), 0);
    EXPECT_EQ(print_using_integer(&tmpl, 5, 0, output), 0);
    EXPECT_EQ(print_using_unsigned(&tmpl, 5, 0, output), 0);
    EXPECT_EQ(format_with_template(&tmpl, 0, output, &tmpl), 0);
    EXPECT_EQ(formatted_view(output), "kept");
    EXPECT_EQ(pending_error(), uint32_t{error_invalid_handle});
    reset_error_state();
}

TEST(NumberFieldScanTest, FieldsEndWhereTheirCharactersStop) {
    struct Case {
        const char* text;
        int32_t length;
        int32_t integer_places;
        int32_t decimal_places;
        int32_t exponent_digits;
    };
    const Case cases[] = {
        {"###:##", 3, 3, 0, 0},
        {"+**$#,#.##^^^^^-x", 16, 5, 2, 3},
        {"##^^^", 2, 2, 0, 0},     // three "^" are no exponent marks
        {"##.#.#", 4, 2, 1, 0},    // a second point ends the field
        {"$$", 2, 1, 0, 0},
        {"**", 2, 2, 0, 0},
        {".#^^^^", 6, 0, 1, 2},
        {",##", 0, 0, 0, 0},       // a separator needs an integer part before it
        {"$#", 0, 0, 0, 0},
        {".^^^^", 0, 0, 0, 0},     // no place at all
        {"+", 0, 0, 0, 0},
        {"-##", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const NumberField field = scan_number_field(c.text, 0);
        EXPECT_EQ(field.length, c.length) << c.text;
        if (field.length == 0) continue;
        EXPECT_EQ(field.integer_places, c.integer_places) << c.text;
        EXPECT_EQ(field.decimal_places, c.decimal_places) << c.text;
        EXPECT_EQ(field.exponent_digits, c.exponent_digits) << c.text;
    }
}

// The game's print step writes on the start-up screen.
class PrintUsingStepTest : public testing::Test {
protected:
    void SetUp() override {
        fresh_text_runtime();
        locate(2, 32, 0, 0, 0, locate_row_given | locate_column_given);
        ASSERT_FALSE(error_pending());
        countdown = string_from_literal(" ###:##.###");
    }
    void TearDown() override { reset_error_state(); }
    RtString* countdown = nullptr;
};

TEST_F(PrintUsingStepTest, PrintsTheCountdownAndFinishesTheLine) {
    print_using_step(countdown, 29, 59.5f);
    EXPECT_FALSE(error_pending());
    EXPECT_EQ(row_text(target(), 2).substr(31, 11), "  29:59.500");
    EXPECT_EQ(cursor_row(), 3);
    EXPECT_EQ(cursor_column(), 1);
}

TEST_F(PrintUsingStepTest, ErrorOnTheWayPrintsWhatWasBuiltWithoutLineEnd) {
    print_using_step(countdown, 12, std::numeric_limits<float>::infinity());
    EXPECT_EQ(pending_error(), 5u);  // kept for the statement boundary
    reset_error_state();
    EXPECT_EQ(row_text(target(), 2).substr(31, 6), "  12: ");
    EXPECT_EQ(cursor_row(), 2);
    EXPECT_EQ(cursor_column(), 37);
}

TEST_F(PrintUsingStepTest, PendingErrorOnEntryPrintsNothingAndStaysPending) {
    raise_error(error_invalid_handle);
    print_using_step(countdown, 29, 59.5f);
    EXPECT_EQ(pending_error(), uint32_t{error_invalid_handle});
    reset_error_state();
    EXPECT_EQ(page_text(target(), 2, 2), "\n");
    EXPECT_EQ(cursor_row(), 2);
    EXPECT_EQ(cursor_column(), 32);
}

}  // namespace
