// Random templates and values through every front end of formatted printing, one statement at a
// time (each value's call starts where the previous one stopped), and the game's print step.
//   - No crash and no access outside a buffer (the sanitizers watch).
//   - Each call returns 0 or a position inside the template, and appends at most what the
//     template and the value can account for: the template's literals twice over (a call may go
//     round the template once), the field's places, and the value's own integer digits with
//     separators, signs, "%", "$" and the exponent.
//   - Errors: a non-finite value raises 5 and appends nothing; a pending error makes a call do
//     nothing.
//   - The same number through different front ends lays out alike: an integer through the
//     integer, unsigned, double and extended front ends, a single value through the single and
//     double front ends (the exponent letter aside, which only "^" fields show).
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "runtime/text/print_using.h"
#include "runtime/text/screen.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Characters that make fields, weighted so that random templates hold many of them.
constexpr char field_characters[] = "####.,+-*$^^^^^&!\\ _:x";

std::string random_template(FuzzedDataProvider& data) {
    std::string t;
    const size_t length = data.ConsumeIntegralInRange<size_t>(0, data.ConsumeBool() ? 24 : 300);
    for (size_t i = 0; i < length && data.remaining_bytes() > 0; ++i) {
        const uint8_t pick = data.ConsumeIntegral<uint8_t>();
        t += pick < 200 ? field_characters[pick % (sizeof field_characters - 1)]
                        : static_cast<char>(pick);  // any byte at all now and then
    }
    return t;
}

// Decimal integer digits of |value| (1 for values below 1).
int64_t integer_digits(long double value) {
    if (!std::isfinite(value)) return 0;
    const long double magnitude = std::fabs(value);
    return magnitude < 1 ? 1 : static_cast<int64_t>(std::log10(magnitude)) + 2;
}

struct Call {
    int32_t next = 0;
    std::string appended;
};

enum class FrontEnd { single, double_precision, extended, integer, unsigned_integer, string };

struct Value {
    FrontEnd front_end = FrontEnd::single;
    float single = 0;
    double double_value = 0;
    long double extended = 0;
    int64_t integer = 0;
    uint64_t unsigned_value = 0;
    std::string text;
};

Call call_front_end(const RtString* t, const Value& v, int32_t start, FormattedText& output) {
    const int32_t before = output.length;
    Call call;
    switch (v.front_end) {
        case FrontEnd::single: call.next = print_using(t, v.single, start, output); break;
        case FrontEnd::double_precision: call.next = print_using_double(t, v.double_value, start, output); break;
        case FrontEnd::extended: call.next = print_using_extended(t, v.extended, start, output); break;
        case FrontEnd::integer: call.next = print_using_integer(t, v.integer, start, output); break;
        case FrontEnd::unsigned_integer: call.next = print_using_unsigned(t, v.unsigned_value, start, output); break;
        case FrontEnd::string: {
            const uint32_t mark = temp_mark();
            call.next = format_with_template(t, start, output, string_from_literal(v.text));
            release_temporaries(mark);
            break;
        }
    }
    FUZZ_CHECK(output.length >= before, "a call shortened the output from %d to %d", before, output.length);
    call.appended = std::string(formatted_view(output).substr(static_cast<size_t>(before)));
    return call;
}

int64_t value_length_bound(const Value& v) {
    switch (v.front_end) {
        case FrontEnd::single: return 2 * integer_digits(v.single);
        case FrontEnd::double_precision: return 2 * integer_digits(v.double_value);
        case FrontEnd::extended: return 2 * integer_digits(v.extended);
        case FrontEnd::integer:
        case FrontEnd::unsigned_integer: return 2 * 20;
        case FrontEnd::string: return static_cast<int64_t>(v.text.size());
    }
    return 0;
}

bool is_finite_number(const Value& v) {
    switch (v.front_end) {
        case FrontEnd::single: return std::isfinite(v.single);
        case FrontEnd::double_precision: return std::isfinite(v.double_value);
        case FrontEnd::extended: return std::isfinite(v.extended);
        default: return true;
    }
}

// A double out of the single range becomes the infinity it rounds to, without relying on the
// conversion's out-of-range behaviour.
float narrowed(double value) {
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
        return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(value);
}

Value random_value(FuzzedDataProvider& data) {
    Value v;
    v.front_end = static_cast<FrontEnd>(data.ConsumeIntegralInRange(0, 5));
    switch (data.ConsumeIntegralInRange(0, 3)) {
        case 0:  // small values with a few decimals: the program's own kind
            v.double_value = data.ConsumeIntegralInRange(-100'000, 100'000) / 1'000.0;
            break;
        case 1:  // any bit pattern, infinities and not-a-number included
            v.double_value = data.ConsumeFloatingPoint<double>();
            break;
        default:
            v.double_value = static_cast<double>(data.ConsumeIntegral<int32_t>()) *
                             std::pow(10.0, data.ConsumeIntegralInRange(-40, 40));
            break;
    }
    v.single = narrowed(v.double_value);
    v.extended = data.ConsumeIntegralInRange(0, 9) == 0
                     ? static_cast<long double>(v.double_value) * std::pow(10.0L, data.ConsumeIntegralInRange(0, 4'900))
                     : static_cast<long double>(v.double_value);
    v.integer = data.ConsumeBool() && std::isfinite(v.double_value)
                    ? static_cast<int64_t>(std::fmod(v.double_value, 9.0e18))
                    : data.ConsumeIntegral<int64_t>();
    v.unsigned_value = data.ConsumeIntegral<uint64_t>();
    if (v.front_end == FrontEnd::string) v.text = data.ConsumeRandomLengthString(40);
    return v;
}

// One statement: several values through one template, each call starting where the last one
// stopped, as the program's print step does.
void run_statement(FuzzedDataProvider& data) {
    const std::string template_bytes = random_template(data);
    const int64_t template_length = static_cast<int64_t>(template_bytes.size());
    const uint32_t mark = temp_mark();
    const RtString* t = string_from_literal(template_bytes);
    FormattedText output;
    int32_t position = 0;
    const int values = data.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < values && data.remaining_bytes() > 0; ++i) {
        const Value v = random_value(data);
        const bool was_pending = error_pending();
        const int32_t before = output.length;
        const Call call = call_front_end(t, v, position, output);
        FUZZ_CHECK(call.next == 0 || (call.next > 0 && call.next < template_length),
                   "returned %d for a template of %lld", call.next, static_cast<long long>(template_length));
        const int64_t bound = 3 * template_length + value_length_bound(v) + 16;
        FUZZ_CHECK(static_cast<int64_t>(call.appended.size()) <= bound,
                   "appended %zu characters, bound %lld, template \"%s\"", call.appended.size(),
                   static_cast<long long>(bound), template_bytes.c_str());
        if (was_pending) {
            FUZZ_CHECK(call.next == 0 && output.length == before, "a call with an error pending acted");
        } else if (!is_finite_number(v)) {
            FUZZ_CHECK(error_pending() && pending_error() == error_illegal_function_call && output.length == before,
                       "a non-finite value: error %u, %d characters appended", pending_error(),
                       output.length - before);
        }
        position = call.next;
    }
    release_temporaries(mark);
    reset_error_state();
}

// The same number through two front ends from a fresh output each.
void compare_front_ends(FuzzedDataProvider& data) {
    std::string template_bytes = random_template(data);
    std::erase(template_bytes, '^');  // the exponent letter is the one intended difference
    const uint32_t mark = temp_mark();
    const RtString* t = string_from_literal(template_bytes);
    const int64_t whole = data.ConsumeIntegralInRange<int64_t>(-(int64_t{1} << 40), int64_t{1} << 40);

    auto run = [&](const Value& v) {
        FormattedText output;
        const Call call = call_front_end(t, v, 0, output);
        const uint32_t error = pending_error();
        reset_error_state();
        return std::tuple{call.next, call.appended, error};
    };
    Value as_integer;
    as_integer.front_end = FrontEnd::integer;
    as_integer.integer = whole;
    Value as_double;
    as_double.front_end = FrontEnd::double_precision;
    as_double.double_value = static_cast<double>(whole);
    Value as_extended;
    as_extended.front_end = FrontEnd::extended;
    as_extended.extended = static_cast<long double>(whole);
    const auto integer_result = run(as_integer);
    const auto double_result = run(as_double);
    const auto extended_result = run(as_extended);
    FUZZ_CHECK(integer_result == double_result, "%lld through \"%s\": integer \"%s\", double \"%s\"",
               static_cast<long long>(whole), template_bytes.c_str(), std::get<1>(integer_result).c_str(),
               std::get<1>(double_result).c_str());
    FUZZ_CHECK(integer_result == extended_result, "%lld through \"%s\": integer \"%s\", extended \"%s\"",
               static_cast<long long>(whole), template_bytes.c_str(), std::get<1>(integer_result).c_str(),
               std::get<1>(extended_result).c_str());
    if (whole >= 0) {
        Value as_unsigned;
        as_unsigned.front_end = FrontEnd::unsigned_integer;
        as_unsigned.unsigned_value = static_cast<uint64_t>(whole);
        const auto unsigned_result = run(as_unsigned);
        FUZZ_CHECK(integer_result == unsigned_result, "%lld through \"%s\": integer \"%s\", unsigned \"%s\"",
                   static_cast<long long>(whole), template_bytes.c_str(), std::get<1>(integer_result).c_str(),
                   std::get<1>(unsigned_result).c_str());
    }
    // A single value and its exact double.
    Value as_single;
    as_single.front_end = FrontEnd::single;
    as_single.single = static_cast<float>(data.ConsumeIntegralInRange(-10'000'000, 10'000'000)) / 1'024.0f;
    Value single_as_double;
    single_as_double.front_end = FrontEnd::double_precision;
    single_as_double.double_value = static_cast<double>(as_single.single);
    const auto single_result = run(as_single);
    const auto widened_result = run(single_as_double);
    FUZZ_CHECK(single_result == widened_result, "%.9g through \"%s\": single \"%s\", double \"%s\"",
               static_cast<double>(as_single.single), template_bytes.c_str(),
               std::get<1>(single_result).c_str(), std::get<1>(widened_result).c_str());
    release_temporaries(mark);
}

// The game's print step puts its text on the page; the cursor must stay on it.
void print_step(FuzzedDataProvider& data) {
    const std::string template_bytes = random_template(data);
    const uint32_t mark = temp_mark();
    print_using_step(string_from_literal(template_bytes), data.ConsumeFloatingPoint<float>(),
                     data.ConsumeFloatingPoint<float>());
    release_temporaries(mark);
    reset_error_state();
    const Image& page = *write_target_image();
    FUZZ_CHECK(page.row >= 1 && page.row <= page.height && page.column >= 1 && page.column <= page.width,
               "the print step left the cursor at row %d column %d", page.row, page.column);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    fresh_fuzz_screen();
    FuzzedDataProvider data(bytes, size);
    while (data.remaining_bytes() > 0) {
        switch (data.ConsumeIntegralInRange(0, 3)) {
            case 0: compare_front_ends(data); break;
            case 1: print_step(data); break;
            default: run_statement(data); break;
        }
    }
    return 0;
}
