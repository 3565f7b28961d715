#include "runtime/text/print_using.h"

#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/text/number_format.h"
#include "runtime/text/print.h"
#include "runtime/text/private/print_using_layout.h"

// ---- The output text ----

void formatted_append(FormattedText& text, std::string_view bytes) {
    // An empty view may carry no pointer at all, which memcpy must not be given.
    if (bytes.empty()) return;
    const size_t new_length = static_cast<size_t>(text.length) + bytes.size();
    const bool inline_mode = text.long_bytes.empty();
    if (inline_mode && new_length <= static_cast<size_t>(FormattedText::inline_capacity)) {
        std::memcpy(text.inline_bytes.data() + text.length, bytes.data(), bytes.size());
    } else {
        if (inline_mode) text.long_bytes.assign(text.inline_bytes.data(),
                                                static_cast<size_t>(text.length));
        text.long_bytes.append(bytes);
    }
    text.length = static_cast<int32_t>(new_length);
}

void formatted_append(FormattedText& text, char c) { formatted_append(text, std::string_view(&c, 1)); }

std::string_view formatted_view(const FormattedText& text) {
    if (!text.long_bytes.empty()) return text.long_bytes;
    return {text.inline_bytes.data(), static_cast<size_t>(text.length)};
}

void formatted_clear(FormattedText& text) {
    text.length = 0;
    text.long_bytes.clear();
}

// ---- Reading fields ----

NumberField scan_number_field(std::string_view text, int32_t position) {
    enum class Stage { start, after_plus, integer_part, after_point, after_exponent };
    NumberField field;
    Stage stage = Stage::start;
    size_t p = static_cast<size_t>(position);
    const auto at = [&](std::string_view run) { return text.substr(p).starts_with(run); };

    while (p < text.size()) {
        const char c = text[p];
        if (stage == Stage::start && c == '+') {
            field.leading_sign = true;
            stage = Stage::after_plus;
            ++p;
            continue;
        }
        if (stage == Stage::start || stage == Stage::after_plus) {
            if (at("**$")) {
                field.star_fill = field.dollar = true;
                field.integer_places = 2;
                p += 3;
            } else if (at("**")) {
                field.star_fill = true;
                field.integer_places = 2;
                p += 2;
            } else if (at("$$")) {
                field.dollar = true;
                field.integer_places = 1;
                p += 2;
            } else if (c == '#') {
                field.integer_places = 1;
                ++p;
            } else if (c == '.') {
                field.has_point = true;
                stage = Stage::after_point;
                ++p;
                continue;
            } else {
                break;
            }
            stage = Stage::integer_part;
            continue;
        }
        if (stage == Stage::integer_part && (c == '#' || c == ',')) {
            if (c == ',') field.separators = true;
            ++field.integer_places;
            ++p;
            continue;
        }
        if (stage == Stage::integer_part && c == '.') {
            field.has_point = true;
            stage = Stage::after_point;
            ++p;
            continue;
        }
        if (stage == Stage::after_point && c == '#') {
            ++field.decimal_places;
            ++p;
            continue;
        }
        if ((stage == Stage::integer_part || stage == Stage::after_point) && c == '^') {
            if (at("^^^^^")) {
                field.exponent_digits = 3;
                p += 5;
            } else if (at("^^^^")) {
                field.exponent_digits = 2;
                p += 4;
            } else {
                break;
            }
            stage = Stage::after_exponent;
            continue;
        }
        if (c == '+' || c == '-') {
            // A sign after the places is the field's trailing sign and ends it.
            field.trailing_sign = c;
            ++p;
        }
        break;
    }
    const bool reached_places = stage == Stage::integer_part || stage == Stage::after_point ||
                                stage == Stage::after_exponent;
    if (!reached_places || field.integer_places + field.decimal_places == 0) return {};
    field.length = static_cast<int32_t>(p) - position;
    return field;
}

StringField scan_string_field(std::string_view text, int32_t position) {
    const size_t p = static_cast<size_t>(position);
    if (p >= text.size()) return {};
    if (text[p] == '&') return {StringFieldKind::whole, 1};
    if (text[p] == '!') return {StringFieldKind::first_character, 1};
    if (text[p] == '\\') {
        size_t end = p + 1;
        while (end < text.size() && text[end] == ' ') ++end;
        if (end < text.size() && text[end] == '\\') {
            return {StringFieldKind::fixed_width, static_cast<int32_t>(end - p + 1)};
        }
    }
    return {};
}

// ---- Laying out a number ----

namespace {

// Every decision of one layout pass, taken before anything is written.
struct NumberPlan {
    int32_t integer_places = 0;  // digits written before the point (exponential form), or the
                                 // integer places left for digits (fixed form)
    int32_t decimal_places = 0;
    int32_t exponent_digits = 0;
    bool has_point = false;
    bool overflow = false;
    bool sign_place = false;     // a place of the field shows the sign
    bool zero_place = false;     // fixed: a fill place shows "0"; exponential: the sign place does
    int32_t integer_digits = 0;  // k: integer digits of the value
    int32_t integer_characters = 0;  // fixed: digits and separators before the point
    int32_t fill_count = 0;
    int32_t printed_exponent = 0;
    int32_t next_digit_index = 0;  // index in the form of the first digit not written
};

int32_t decimal_digit_count(int32_t value) {
    int32_t count = 1;
    for (value = value < 0 ? -value : value; value >= 10; value /= 10) ++count;
    return count;
}

NumberPlan plan_number(const NumberField& field, const DecimalForm& value) {
    NumberPlan plan;
    int32_t places = field.integer_places;
    plan.decimal_places = field.decimal_places;
    plan.exponent_digits = field.exponent_digits;
    plan.has_point = field.has_point;
    plan.integer_digits = integer_digit_count(value);
    const bool negative = value.negative;
    const bool signed_field = field.leading_sign || field.trailing_sign != 0;
    const bool fixed = field.exponent_digits == 0;

    int32_t width = 0;
    if (fixed) {
        if (negative && !signed_field) {
            plan.sign_place = true;
            --places;
        }
        width = places;
        if (field.separators) places -= places / 4;
    } else if (!signed_field) {
        plan.sign_place = true;
        --places;
        if (places == -1) {
            places = 0;
            if (--plan.decimal_places == 0) {
                plan.has_point = false;
                places = 1;
            }
        }
    }

    // The value zero shows no integer digit when the field has no integer place.
    if (places == 0 && plan.integer_digits == 1 && value.digit_count > 0 && value.digits[0] == '0') {
        plan.integer_digits = 0;
    }
    const int32_t k = plan.integer_digits;

    if (fixed) {
        // A field that gave its only place to the sign has no room left: that overflows too.
        if (places < k || places < 0) {
            places = k > 0 ? k : 0;
            plan.overflow = true;
            if (field.separators) width = (places - 1) / 3 + places;
        }
        if (!field.separators) width = places;
        plan.integer_characters = k > 0 ? k + (field.separators ? (k - 1) / 3 : 0) : 0;
        plan.fill_count = width > plan.integer_characters ? width - plan.integer_characters : 0;
        if (plan.integer_characters == 0 && plan.fill_count >= 1) {
            plan.zero_place = true;
            --plan.fill_count;
        }
        plan.integer_places = places;
        plan.next_digit_index = k + plan.decimal_places;
        return plan;
    }

    if (plan.sign_place && places == 0 && !negative) {
        if (plan.decimal_places > 0) {
            plan.zero_place = true;
        } else {
            places = 1;
            plan.sign_place = false;
        }
    }
    if (places == 0 && plan.decimal_places == 0) {
        places = 1;
        plan.overflow = true;
    }
    plan.integer_places = places;
    plan.printed_exponent = k - places;
    const int32_t needed = decimal_digit_count(plan.printed_exponent);
    if (needed > plan.exponent_digits) {
        plan.exponent_digits = needed;
        plan.overflow = true;
    }
    plan.next_digit_index = places + plan.decimal_places;
    return plan;
}

// Keeps the first `kept` digits and adds one unit in the last of them, carrying through nines;
// a carry out of the first digit makes the number one digit longer. With nothing kept the unit
// lands on the place just above the first digit.
void round_up_at(DecimalForm& value, int32_t kept) {
    if (kept == 0) {
        value.exponent += value.digit_count;
        value.digits[0] = '1';
        value.digit_count = 1;
        return;
    }
    value.exponent += value.digit_count - kept;
    value.digit_count = kept;
    for (int32_t i = kept - 1; i >= 0; --i) {
        char& digit = value.digits[static_cast<size_t>(i)];
        if (digit != '9') {
            ++digit;
            return;
        }
        digit = '0';
    }
    // All nines: "99" + 1 is "100", written as "10" one power up.
    value.digits[0] = '1';
    value.exponent += 1;
}

struct DigitCursor {
    const DecimalForm& value;
    int32_t index = 0;
    char next() {
        return index < value.digit_count ? value.digits[static_cast<size_t>(index++)] : '0';
    }
};

void write_number(const NumberField& field, const NumberPlan& plan, const DecimalForm& value,
                  char exponent_letter, FormattedText& output) {
    const bool negative = value.negative;
    DigitCursor digits{value};
    if (plan.overflow) formatted_append(output, '%');
    if (field.leading_sign) formatted_append(output, negative ? '-' : '+');

    if (field.exponent_digits == 0) {
        const char fill = field.star_fill ? '*' : ' ';
        for (int32_t i = 0; i < plan.fill_count; ++i) formatted_append(output, fill);
        if (plan.sign_place) formatted_append(output, '-');
        if (field.dollar) formatted_append(output, '$');
        if (plan.zero_place) formatted_append(output, '0');
        for (int32_t i = 0; i < plan.integer_characters; ++i) {
            const int32_t to_last = plan.integer_characters - i;
            formatted_append(output, field.separators && to_last % 4 == 0 ? ',' : digits.next());
        }
        if (plan.has_point) formatted_append(output, '.');
        const int32_t k = plan.integer_digits;
        for (int32_t i = 0; i < plan.decimal_places; ++i) {
            formatted_append(output, k < 0 && i < -k ? '0' : digits.next());
        }
    } else {
        if (field.dollar) formatted_append(output, '$');
        if (plan.sign_place) formatted_append(output, negative ? '-' : plan.zero_place ? '0' : ' ');
        for (int32_t i = 0; i < plan.integer_places; ++i) formatted_append(output, digits.next());
        if (plan.has_point) formatted_append(output, '.');
        for (int32_t i = 0; i < plan.decimal_places; ++i) formatted_append(output, digits.next());
        formatted_append(output, exponent_letter);
        formatted_append(output, plan.printed_exponent < 0 ? '-' : '+');
        const int32_t magnitude =
            plan.printed_exponent < 0 ? -plan.printed_exponent : plan.printed_exponent;
        const int32_t count = decimal_digit_count(magnitude);
        for (int32_t i = count; i < plan.exponent_digits; ++i) formatted_append(output, '0');
        char exponent_text[12];
        int32_t remaining = magnitude;
        for (int32_t i = count - 1; i >= 0; --i, remaining /= 10) {
            exponent_text[i] = static_cast<char>('0' + remaining % 10);
        }
        formatted_append(output, std::string_view(exponent_text, static_cast<size_t>(count)));
    }

    if (field.trailing_sign == '+') formatted_append(output, negative ? '-' : '+');
    if (field.trailing_sign == '-') formatted_append(output, negative ? '-' : ' ');
}

}  // namespace

void lay_out_number(const NumberField& field, DecimalForm& value, char exponent_letter,
                    FormattedText& output) {
    NumberPlan plan = plan_number(field, value);
    // Rounding looks at the first digit the layout leaves out, on the exact expansion; places
    // before the form's first digit are zeros and never round. Done once: afterwards the form
    // ends where the layout does.
    const int32_t next = plan.next_digit_index;
    if (next >= 0 && next < value.digit_count && value.digits[static_cast<size_t>(next)] >= '5') {
        round_up_at(value, next);
        plan = plan_number(field, value);
    }
    write_number(field, plan, value, exponent_letter, output);
}

// ---- The engine ----

TemplateStep apply_template(std::string_view text, int32_t start, const TemplateValue& value,
                            char exponent_letter, FormattedText& output) {
    const int32_t length = static_cast<int32_t>(text.size());
    if (start < 0 || start > length) start = 0;
    int32_t position = start;
    bool placed = false;
    bool started_again = false;
    for (;;) {
        if (position >= length) {
            if (placed) return {0, 0};
            // A second pass from the start that found no field would find none ever.
            if (start == 0 || started_again) return {0, error_illegal_function_call};
            started_again = true;
            position = 0;
            continue;
        }
        const NumberField number_field = scan_number_field(text, position);
        if (number_field.length > 0) {
            if (placed) return {position, 0};
            if (value.number == nullptr) return {0, error_type_mismatch};
            lay_out_number(number_field, *value.number, exponent_letter, output);
            position += number_field.length;
            placed = true;
            continue;
        }
        const StringField string_field = scan_string_field(text, position);
        if (string_field.kind != StringFieldKind::none) {
            if (placed) return {position, 0};
            if (value.number != nullptr) return {0, error_type_mismatch};
            switch (string_field.kind) {
            case StringFieldKind::whole:
                formatted_append(output, value.text);
                break;
            case StringFieldKind::first_character:
                formatted_append(output, value.text.empty() ? ' ' : value.text[0]);
                break;
            case StringFieldKind::fixed_width: {
                const size_t width = static_cast<size_t>(string_field.length);
                const std::string_view shown = value.text.substr(0, width);
                formatted_append(output, shown);
                for (size_t i = shown.size(); i < width; ++i) formatted_append(output, ' ');
                break;
            }
            case StringFieldKind::none:
                break;
            }
            position += string_field.length;
            placed = true;
            continue;
        }
        if (text[static_cast<size_t>(position)] == '_' && position + 1 < length) ++position;
        formatted_append(output, text[static_cast<size_t>(position)]);
        ++position;
    }
}

// ---- Front ends and the print step ----

namespace {

std::string_view template_view(const RtString* template_text) {
    if (template_text == nullptr || template_text->length <= 0) return {};
    return string_view_of(template_text);
}

int32_t run_engine(const RtString* template_text, int32_t start, const TemplateValue& value,
                   char exponent_letter, FormattedText& output) {
    const TemplateStep step =
        apply_template(template_view(template_text), start, value, exponent_letter, output);
    if (step.error != 0) raise_error(step.error);
    return step.next_position;
}

int32_t format_number(const RtString* template_text, DecimalForm& value, int32_t start,
                      char exponent_letter, FormattedText& output) {
    return run_engine(template_text, start, TemplateValue{&value, {}}, exponent_letter, output);
}

// The floating-point front ends: infinity and not-a-number have no decimal form, error 5.
template <typename Value>
int32_t format_floating(const RtString* template_text, Value value,
                        bool (*decimal_form_of)(Value, DecimalForm&), char exponent_letter,
                        int32_t start, FormattedText& output) {
    if (error_pending()) return 0;
    DecimalForm form;
    if (!decimal_form_of(value, form)) {
        raise_error(error_illegal_function_call);
        return 0;
    }
    return format_number(template_text, form, start, exponent_letter, output);
}

}  // namespace

int32_t print_using(const RtString* template_text, float value, int32_t start,
                    FormattedText& output) {
    return format_floating(template_text, value, decimal_form_of_single, 'E', start, output);
}

int32_t print_using_double(const RtString* template_text, double value, int32_t start,
                           FormattedText& output) {
    return format_floating(template_text, value, decimal_form_of_double, 'D', start, output);
}

int32_t print_using_extended(const RtString* template_text, long double value, int32_t start,
                             FormattedText& output) {
    return format_floating(template_text, value, decimal_form_of_extended, 'F', start, output);
}

int32_t print_using_integer(const RtString* template_text, int64_t value, int32_t start,
                            FormattedText& output) {
    if (error_pending()) return 0;
    DecimalForm form;
    decimal_form_of_integer(value, form);
    return format_number(template_text, form, start, 'E', output);
}

int32_t print_using_unsigned(const RtString* template_text, uint64_t value, int32_t start,
                             FormattedText& output) {
    if (error_pending()) return 0;
    DecimalForm form;
    decimal_form_of_unsigned(value, form);
    return format_number(template_text, form, start, 'E', output);
}

int32_t format_with_template(const RtString* template_text, int32_t start, FormattedText& output,
                             const RtString* string_value) {
    if (error_pending()) return 0;
    const std::string_view text = string_value != nullptr && string_value->length > 0
                                      ? string_view_of(string_value)
                                      : std::string_view{};
    return run_engine(template_text, start, TemplateValue{nullptr, text}, 'E', output);
}

void print_using_step(const RtString* template_text, std::span<const float> values) {
    FormattedText output;
    int32_t position = 0;
    for (const float value : values) {
        if (error_pending()) break;
        position = print_using(template_text, value, position, output);
    }
    // A descriptor over the built bytes: printing reads them and keeps nothing.
    RtString text;
    text.data = output.long_bytes.empty() ? output.inline_bytes.data() : output.long_bytes.data();
    text.length = output.length;
    text.is_readonly = 1;
    if (!error_pending()) {
        print_string(&text, 1);
        return;
    }
    // The text built before the error still reaches the screen: the error is held back while
    // it prints and then stays pending for the statement boundary.
    const uint32_t held_error = pending_error();
    reset_error_state();
    print_string(&text, 0);
    raise_error(static_cast<int32_t>(held_error));
}
