// Number patterns and the numeric value of a text.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"

namespace beamdata {
namespace {

struct PatternCase {
    const char* pattern;
    double value;
    const char* expected;
};

TEST(NumberPattern, FormatsTheFrontEndPatterns) {
    const PatternCase cases[] = {
        // Exchange-file patterns.
        {" #0.0", 9.0, " 9.0"},
        {" #0.0", 12.34, " 12.3"},
        {" #0.0", 12.25, " 12.3"},  // half-way at 15 digits rounds away from zero
        {" #0.0", 0.5, " 0.5"},
        {" #0.0", 0.04, " 0.0"},
        {" #0.0", 99.96, " 100.0"},
        {"###.0", 8.0, "8.0"},
        {"###.0", 20.0, "20.0"},
        {"###.0", 0.5, ".5"},
        {"###.0", 0.04, ".0"},
        {"###.0", 0.05, ".1"},
        {"00.00", 0.01, "00.01"},
        {"00.00", 1.0, "01.00"},
        {"00.00", 0.29, "00.29"},
        {"00.00", 0.57, "00.57"},
        {"0.000E+00", 0.5, "5.000E-01"},
        {"0.000E+00", 1.0, "1.000E+00"},
        {"0.000E+00", 0.0, "0.000E+00"},
        {"0.000E+00", 0.0000123, "1.230E-05"},
        {"0.000E+00", 9.9996, "1.000E+01"},  // carry moves the exponent
        {"0.000E+00", 0.00012345, "1.235E-04"},
        {"0.000E+00", 1e-120, "1.000E-120"},
        // Box and read-out patterns.
        {"#0.0", 8.0, "8.0"},
        {"#0.0", 0.5, "0.5"},
        {"#0.0", 20.0, "20.0"},
        {"#0.0", 9.5 * 1.06, "10.1"},
        {"0.00", 0.576, "0.58"},
        {"0.00", 0.995, "1.00"},
        {"0.000", 0.0796499, "0.080"},
        {"0.000", 1.0, "1.000"},
        {"0.000", 0.0005, "0.001"},
        {"##0.00", 23.456, "23.46"},
        {"##0.00", 0.0, "0.00"},
        {"##0.00", 123.455, "123.46"},
        {"#.00000", 0.25, ".25000"},
        {"#.00000", 1.234565, "1.23457"},
        // Negative values carry the sign in front; a value that rounds to zero has none.
        {" #0.0", -9.0, "- 9.0"},
        {"#0.0", -0.25, "-0.3"},
        {"#0.0", -0.04, "0.0"},
        {"0.000E+00", -0.5, "-5.000E-01"},
    };
    for (const PatternCase& c : cases) {
        EXPECT_EQ(formatNumber(c.value, c.pattern), c.expected) << "pattern \"" << c.pattern << "\", value " << c.value;
    }
}

TEST(NumberPattern, HalfWayIsJudgedAtFifteenDigits) {
    // Binary values just below the written half-way point still round up...
    EXPECT_EQ(formatNumber(0.125, "0.00"), "0.13");
    EXPECT_EQ(formatNumber(2.675, "0.00"), "2.68");  // stored as 2.67499999999999982
    EXPECT_EQ(formatNumber(1.005, "0.00"), "1.01");  // stored as 1.00499999999999989
    EXPECT_EQ(formatNumber(0.045, "0.00"), "0.05");
    // ...while a value that differs from half-way within 15 digits does not.
    EXPECT_EQ(formatNumber(2.67499999999, "0.00"), "2.67");
}

TEST(NumberPattern, RejectsPatternsOutsideTheGrammar) {
    EXPECT_THROW(formatNumber(1.0, "0.0%"), std::invalid_argument);
    EXPECT_THROW(formatNumber(1.0, "#,##0"), std::invalid_argument);
}

TEST(TextValue, TakesTheLongestLeadingNumber) {
    EXPECT_DOUBLE_EQ(textValue("8.0"), 8.0);
    EXPECT_DOUBLE_EQ(textValue("  4.5"), 4.5);
    EXPECT_DOUBLE_EQ(textValue("9MeV"), 9.0);
    EXPECT_DOUBLE_EQ(textValue("12.25abc"), 12.25);
    EXPECT_DOUBLE_EQ(textValue(".5"), 0.5);
    EXPECT_DOUBLE_EQ(textValue("-4.5e1x"), -45.0);
    EXPECT_DOUBLE_EQ(textValue("+3"), 3.0);
    EXPECT_DOUBLE_EQ(textValue("1e"), 1.0);  // an exponent needs digits
    EXPECT_DOUBLE_EQ(textValue("2E-1"), 0.2);
    EXPECT_DOUBLE_EQ(textValue("7."), 7.0);
    EXPECT_DOUBLE_EQ(textValue("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(textValue("3 4"), 3.0);
}

TEST(TextValue, IsZeroWhenThereIsNoNumber) {
    EXPECT_EQ(textValue(""), 0.0);
    EXPECT_EQ(textValue("abc"), 0.0);
    EXPECT_EQ(textValue("."), 0.0);
    EXPECT_EQ(textValue("-"), 0.0);
    EXPECT_EQ(textValue("  x5"), 0.0);
    EXPECT_EQ(textValue("1e999"), 0.0);  // too large to be a usable value
}

TEST(TextValue, RecognisesWholeNumberFields) {
    EXPECT_TRUE(isNumberText("0.6"));
    EXPECT_TRUE(isNumberText("-1.5e-3"));
    EXPECT_TRUE(isNumberText("0"));
    EXPECT_FALSE(isNumberText("0.6x"));
    EXPECT_FALSE(isNumberText(" 0.6"));
    EXPECT_FALSE(isNumberText(""));
    EXPECT_FALSE(isNumberText("MeV"));
}

}  // namespace
}  // namespace beamdata
