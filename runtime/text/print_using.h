// Formatted printing: numbers laid out through a template, a string in which runs of special
// characters mark fields ("###.##", "**$#,###", "##.##^^^^", "&", "!", "\  \") and every other
// character is copied ("_" takes the next character literally).
//
// One statement formats several values through one template: each call fills the next field,
// appends to the same output and returns the position at which the next value's call starts
// (0 when the template was used up, or after an error). A call whose value finds no field before
// the end starts the template again from its beginning.
//
// Errors follow the runtime's rule: while one is pending a call does nothing and returns 0;
// non-finite values and templates without any field raise 5, a number for a string field or a
// string for a number field raises 13.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/core/rt_string.h"

// The text built so far by one formatted print statement. Short texts (the program's own are
// eleven characters) stay in the inline buffer, so formatting touches no heap; a longer text
// moves, whole, to the string.
struct FormattedText {
    static constexpr int32_t inline_capacity = 256;
    std::array<char, inline_capacity> inline_bytes{};
    std::string long_bytes;  // used once the text outgrows inline_bytes
    int32_t length = 0;
};

void formatted_append(FormattedText& text, char c);
void formatted_append(FormattedText& text, std::string_view bytes);
std::string_view formatted_view(const FormattedText& text);
void formatted_clear(FormattedText& text);

// Front ends, one per numeric type: each converts `value` once to its decimal form and fills the
// next field of `template_text` (nullptr = empty) from position `start`. The exponent letter of
// "^^^^" fields is "E", "D" for double and "F" for extended values.
int32_t print_using(const RtString* template_text, float value, int32_t start,
                    FormattedText& output);
int32_t print_using_double(const RtString* template_text, double value, int32_t start,
                           FormattedText& output);
int32_t print_using_extended(const RtString* template_text, long double value, int32_t start,
                             FormattedText& output);
int32_t print_using_integer(const RtString* template_text, int64_t value, int32_t start,
                            FormattedText& output);
int32_t print_using_unsigned(const RtString* template_text, uint64_t value, int32_t start,
                             FormattedText& output);

// The string entry of the engine: `string_value` (nullptr = empty) fills the next "&", "!" or
// backslash field.
int32_t format_with_template(const RtString* template_text, int32_t start, FormattedText& output,
                             const RtString* string_value);

// The game's formatted print step: the values fill the template one after the other and the
// result is printed with print_string, finishing the line (no make_fit). When an error is
// pending, or arises on the way, the text built so far is printed without finishing the line and
// the error stays pending for the next statement boundary.
void print_using_step(const RtString* template_text, std::span<const float> values);

inline void print_using_step(const RtString* template_text, float first, float second) {
    const std::array<float, 2> values{first, second};
    print_using_step(template_text, values);
}
