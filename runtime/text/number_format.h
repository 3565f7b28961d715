// Decimal forms: a number as its significant digits and the power of ten of the last one, read
// from the exact decimal expansion the C library prints. Formatted printing lays these digits
// out as characters, so no floating-point arithmetic happens after this one conversion.
#pragma once

#include <array>
#include <cstdint>

struct DecimalForm {
    static constexpr int32_t digit_capacity = 1024;
    bool negative = false;                       // the printed text began with "-"
    std::array<char, digit_capacity> digits{};   // '0'-'9', most significant first
    int32_t digit_count = 0;
    int32_t exponent = 0;  // value = (digits read as an integer) x 10^exponent
};

// The count of integer digits of the value: 0 or negative below 1.
inline int32_t integer_digit_count(const DecimalForm& form) {
    return form.digit_count + form.exponent;
}

// Single and double values: 256 significant digits of the exact expansion. False for infinity
// and not-a-number (form then unspecified).
bool decimal_form_of_single(float value, DecimalForm& form);
bool decimal_form_of_double(double value, DecimalForm& form);

// Extended values in fixed notation with 255 fraction digits, leading zeros dropped (values
// below 1e-255 therefore read as zero). At most digit_capacity digits are kept. False for
// infinity and not-a-number.
bool decimal_form_of_extended(long double value, DecimalForm& form);

// 64-bit integers: their decimal digits, exponent 0.
void decimal_form_of_integer(int64_t value, DecimalForm& form);
void decimal_form_of_unsigned(uint64_t value, DecimalForm& form);
