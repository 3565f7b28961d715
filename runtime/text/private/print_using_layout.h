// The pure half of formatted printing: reading fields out of a template and laying a decimal
// form out in a number field. No error state and no screen are touched here, so every layout
// decision can be tested on its own; print_using.cpp adds the pending-error rule and printing.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/text/number_format.h"
#include "runtime/text/print_using.h"

struct NumberField {
    int32_t length = 0;          // template characters the field spans; 0 = no field here
    int32_t integer_places = 0;
    int32_t decimal_places = 0;
    int32_t exponent_digits = 0; // 0 = fixed form; 2 for "^^^^", 3 for "^^^^^"
    bool has_point = false;
    bool leading_sign = false;   // "+" before the field
    char trailing_sign = 0;      // '+', '-' or 0
    bool star_fill = false;      // "**": fill with "*" instead of spaces
    bool dollar = false;         // "$$" or "**$": a "$" before the digits
    bool separators = false;     // ",": thousands separators
};

// The number field starting at `position`, if any.
NumberField scan_number_field(std::string_view text, int32_t position);

enum class StringFieldKind : uint8_t { none, whole, first_character, fixed_width };

struct StringField {
    StringFieldKind kind = StringFieldKind::none;
    int32_t length = 0;  // template characters spanned, which is also the width of fixed_width
};

// "&", "!" or a backslash, spaces and a backslash, starting at `position`.
StringField scan_string_field(std::string_view text, int32_t position);

// Appends `value` laid out in `field`. `value` may be changed: rounding works on its digits.
void lay_out_number(const NumberField& field, DecimalForm& value, char exponent_letter,
                    FormattedText& output);

// The value waiting for a field: a number (its decimal form) or a string.
struct TemplateValue {
    DecimalForm* number = nullptr;  // nullptr = the value is `text`
    std::string_view text{};
};

struct TemplateStep {
    int32_t next_position = 0;
    int32_t error = 0;  // error number to raise, 0 = none
};

// One engine call: copies literals and fills the first field that takes `value`, from `start`.
TemplateStep apply_template(std::string_view text, int32_t start, const TemplateValue& value,
                            char exponent_letter, FormattedText& output);
