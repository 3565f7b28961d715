// Decimal forms. Expected digit strings are the exact decimal expansions of the binary values,
// worked out by hand (with arbitrary-precision decimal arithmetic) from their bit patterns.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "runtime/text/number_format.h"

namespace {

std::string digits_of(const DecimalForm& form) {
    return std::string(form.digits.data(), static_cast<size_t>(form.digit_count));
}

// Success when the form's digits are `leading` followed by zeros only.
testing::AssertionResult digits_are(const DecimalForm& form, const std::string& leading) {
    const std::string digits = digits_of(form);
    if (digits.compare(0, leading.size(), leading) != 0) {
        return testing::AssertionFailure() << "digits begin " << digits.substr(0, leading.size() + 4);
    }
    const size_t odd = digits.find_first_not_of('0', leading.size());
    if (odd != std::string::npos) {
        return testing::AssertionFailure() << "non-zero digit at " << odd << " in " << digits;
    }
    return testing::AssertionSuccess();
}

TEST(DecimalFormTest, SingleAndDoubleGiveTheExactExpansionIn256Digits) {
    DecimalForm form;
    ASSERT_TRUE(decimal_form_of_single(0.1f, form));
    EXPECT_FALSE(form.negative);
    EXPECT_EQ(form.digit_count, 256);
    EXPECT_TRUE(digits_are(form, "100000001490116119384765625"));
    EXPECT_EQ(integer_digit_count(form), 0);

    ASSERT_TRUE(decimal_form_of_double(-59.5, form));
    EXPECT_TRUE(form.negative);
    EXPECT_TRUE(digits_are(form, "595"));
    EXPECT_EQ(form.exponent, -254);  // 256 digits, two of them integer digits
    EXPECT_EQ(integer_digit_count(form), 2);

    // The smallest denormal: 256 correctly rounded digits of its 751-digit expansion.
    ASSERT_TRUE(decimal_form_of_double(std::numeric_limits<double>::denorm_min(), form));
    EXPECT_EQ(digits_of(form).substr(0, 20), "49406564584124654417");
    EXPECT_EQ(integer_digit_count(form), -323);
}

TEST(DecimalFormTest, ZeroKeepsOneZeroPerPrintedPlace) {
    DecimalForm form;
    ASSERT_TRUE(decimal_form_of_double(0.0, form));
    EXPECT_EQ(form.digit_count, 256);
    EXPECT_TRUE(digits_are(form, "0"));
    EXPECT_EQ(integer_digit_count(form), 1);

    ASSERT_TRUE(decimal_form_of_single(-0.0f, form));
    EXPECT_TRUE(form.negative);

    ASSERT_TRUE(decimal_form_of_extended(0.0L, form));
    EXPECT_EQ(form.digit_count, 256);
    EXPECT_TRUE(digits_are(form, "0"));
    EXPECT_EQ(integer_digit_count(form), 1);
}

TEST(DecimalFormTest, ExtendedDropsLeadingZerosOfItsFixedText) {
    // The fixed text of 0.05 is "0.0500...": read literally its first digit would be a zero and
    // the value would seem to have one integer digit.
    DecimalForm form;
    ASSERT_TRUE(decimal_form_of_extended(0.5L, form));
    EXPECT_TRUE(digits_are(form, "5"));
    EXPECT_EQ(integer_digit_count(form), 0);
    EXPECT_EQ(form.exponent, -255);

    ASSERT_TRUE(decimal_form_of_extended(-0.05L, form));
    EXPECT_TRUE(form.negative);
    EXPECT_EQ(form.digits[0], '5');
    EXPECT_EQ(integer_digit_count(form), -1);

    // Below the 255th decimal place the fixed text shows only zeros.
    ASSERT_TRUE(decimal_form_of_extended(1e-300L, form));
    EXPECT_TRUE(digits_are(form, "0"));
}

TEST(DecimalFormTest, ExtendedKeepsAtMostTheFormsCapacityOfDigits) {
    DecimalForm form;
    ASSERT_TRUE(decimal_form_of_extended(LDBL_MAX, form));
    EXPECT_EQ(form.digit_count, DecimalForm::digit_capacity);
    EXPECT_EQ(integer_digit_count(form), 4933);
    EXPECT_EQ(digits_of(form).substr(0, 12), "118973149535");

    // 12345.6875 is exact in binary, so its expansion ends after nine digits.
    ASSERT_TRUE(decimal_form_of_extended(12345.6875L, form));
    EXPECT_TRUE(digits_are(form, "123456875"));
    EXPECT_EQ(integer_digit_count(form), 5);
}

TEST(DecimalFormTest, NonFiniteValuesHaveNoForm) {
    DecimalForm form;
    constexpr float single_infinity = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(decimal_form_of_single(single_infinity, form));
    EXPECT_FALSE(decimal_form_of_single(-single_infinity, form));
    EXPECT_FALSE(decimal_form_of_single(std::nanf(""), form));
    EXPECT_FALSE(decimal_form_of_double(-std::numeric_limits<double>::infinity(), form));
    EXPECT_FALSE(decimal_form_of_double(-std::nan(""), form));
    EXPECT_FALSE(decimal_form_of_extended(std::numeric_limits<long double>::infinity(), form));
    EXPECT_FALSE(decimal_form_of_extended(std::nanl(""), form));
}

TEST(DecimalFormTest, IntegersAreTheirDigitsWithExponentZero) {
    DecimalForm form;
    decimal_form_of_integer(std::numeric_limits<int64_t>::min(), form);
    EXPECT_TRUE(form.negative);
    EXPECT_EQ(digits_of(form), "9223372036854775808");
    EXPECT_EQ(form.exponent, 0);

    decimal_form_of_integer(0, form);
    EXPECT_FALSE(form.negative);
    EXPECT_EQ(digits_of(form), "0");
    EXPECT_EQ(integer_digit_count(form), 1);

    decimal_form_of_unsigned(std::numeric_limits<uint64_t>::max(), form);
    EXPECT_FALSE(form.negative);
    EXPECT_EQ(digits_of(form), "18446744073709551615");
    EXPECT_EQ(form.exponent, 0);
}

}  // namespace
