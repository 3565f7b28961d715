#include "runtime/text/number_format.h"

#include <cfloat>
#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <string_view>

namespace {

// "% .255E": sign place, one digit, point, 255 digits, "E", exponent sign, up to three digits.
constexpr size_t scientific_text_size = 300;

// "% .255Lf" of the largest extended value: sign place, LDBL_MAX_10_EXP + 1 integer digits,
// point, 255 digits and the terminator. Sized from the type's own limit so that even 1e4932
// cannot overrun it; the digits beyond digit_capacity are then dropped while reading.
constexpr size_t fixed_text_size = 1 + (LDBL_MAX_10_EXP + 1) + 1 + 255 + 1;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads the digit run at `position` (digits with at most one point) into `form`: leading zeros
// are skipped so that the first digit is significant, at most digit_capacity digits are kept,
// and the exponent becomes the power of ten of the last kept digit. A run of zeros only is the
// value zero and keeps its zeros, one per printed place. Returns the position after the run.
size_t read_digit_run(std::string_view text, size_t position, DecimalForm& form) {
    int32_t places = 0;               // digits seen, kept or not
    int32_t integer_places = -1;      // digits before the point, once it is seen
    int32_t last_kept_place = -1;
    form.digit_count = 0;
    for (; position < text.size(); ++position) {
        const char c = text[position];
        if (is_digit(c)) {
            const bool leading_zero = form.digit_count == 0 && c == '0';
            if (!leading_zero && form.digit_count < DecimalForm::digit_capacity) {
                form.digits[static_cast<size_t>(form.digit_count++)] = c;
                last_kept_place = places;
            }
            ++places;
        } else if (c == '.' && integer_places < 0) {
            integer_places = places;
        } else {
            break;
        }
    }
    if (integer_places < 0) integer_places = places;
    if (form.digit_count == 0) {
        const int32_t zeros = places < DecimalForm::digit_capacity ? places
                                                                   : DecimalForm::digit_capacity;
        for (int32_t i = 0; i < zeros; ++i) form.digits[static_cast<size_t>(i)] = '0';
        form.digit_count = zeros;
        last_kept_place = zeros - 1;
    }
    form.exponent = integer_places - 1 - last_kept_place;
    return position;
}

// The sign place is a space or "-"; a digit must follow it (infinity and not-a-number print
// letters there).
bool read_sign_place(std::string_view text, DecimalForm& form) {
    if (text.size() < 2 || (text[0] != ' ' && text[0] != '-') || !is_digit(text[1])) return false;
    form.negative = text[0] == '-';
    return true;
}

bool read_scientific_text(std::string_view text, DecimalForm& form) {
    if (!read_sign_place(text, form)) return false;
    size_t position = read_digit_run(text, 1, form);
    if (position >= text.size() || text[position] != 'E') return false;
    ++position;
    bool exponent_negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        exponent_negative = text[position] == '-';
        ++position;
    }
    if (position >= text.size()) return false;
    int32_t exponent = 0;
    for (; position < text.size(); ++position) {
        if (!is_digit(text[position]) || exponent > 100000) return false;
        exponent = exponent * 10 + (text[position] - '0');
    }
    form.exponent += exponent_negative ? -exponent : exponent;
    return true;
}

std::string_view printed(const char* buffer, int length, size_t size) {
    if (length < 0) return {};
    const size_t used = static_cast<size_t>(length) < size ? static_cast<size_t>(length) : size - 1;
    return {buffer, used};
}

}  // namespace

bool decimal_form_of_double(double value, DecimalForm& form) {
    char text[scientific_text_size];
    const int length = std::snprintf(text, sizeof text, "% .255E", value);
    return read_scientific_text(printed(text, length, sizeof text), form);
}

bool decimal_form_of_single(float value, DecimalForm& form) {
    return decimal_form_of_double(static_cast<double>(value), form);
}

bool decimal_form_of_extended(long double value, DecimalForm& form) {
    char text[fixed_text_size];
    const int length = std::snprintf(text, sizeof text, "% .255Lf", value);
    const std::string_view fixed = printed(text, length, sizeof text);
    if (!read_sign_place(fixed, form)) return false;
    return read_digit_run(fixed, 1, form) == fixed.size();
}

void decimal_form_of_integer(int64_t value, DecimalForm& form) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "% " PRId64, value);
    const std::string_view digits = printed(text, length, sizeof text);
    form.negative = digits[0] == '-';
    read_digit_run(digits, 1, form);
}

void decimal_form_of_unsigned(uint64_t value, DecimalForm& form) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%" PRIu64, value);
    form.negative = false;
    read_digit_run(printed(text, length, sizeof text), 0, form);
}
