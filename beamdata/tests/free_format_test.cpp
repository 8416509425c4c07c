#include "beamdata/free_format.h"

#include <gtest/gtest.h>

#include "beamdata/title_decoding.h"

namespace beamdata::text {
namespace {

TEST(NumberField, FortranAndSpreadsheetForms) {
    const struct {
        const char* field;
        std::optional<double> value;
    } rows[] = {
        {"0.100E+01", 1.0},     {".100E+01", 1.0},     {"-14.", -14.0},          {"+2.5", 2.5},
        {"1D2", 100.0},         {"3e-1", 0.3},         {"\"87.3\"", 87.3},       {"7", 7.0},
        {".", std::nullopt},    {"", std::nullopt},    {"1.5abc", std::nullopt}, {"E5", std::nullopt},
        {"1E", std::nullopt},   {"nan", std::nullopt}, {"inf", std::nullopt},    {"--1", std::nullopt},
        {"\"\"", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(parseNumberField(row.field), row.value) << row.field;
}

TEST(FieldReaderTest, LinesAndFieldsAcrossLineEnds) {
    FieldReader reader(
        "\xEF\xBB\xBF"
        "title  \r\nsecond\rthird\n1, 2\n\n 3 ,4,\r\n  5\t6  \n");
    EXPECT_EQ(reader.readLine(), "title  ");
    EXPECT_EQ(reader.readLine(), "second");
    EXPECT_EQ(reader.readLine(), "third");
    for (double expected : {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}) EXPECT_EQ(reader.readNumber(), expected);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_FALSE(reader.readNumber().has_value());
    EXPECT_FALSE(reader.readLine().has_value());

    FieldReader joined(" 0.785E-07-0.519E-07 -.5+2.", JoinedNumbers::Split);
    for (double expected : {0.785E-07, -0.519E-07, -0.5, 2.0}) EXPECT_EQ(joined.readNumber(), expected);
    EXPECT_TRUE(joined.atEnd());
    EXPECT_FALSE(FieldReader("0.785E-07-0.519E-07").readNumber().has_value());  // refused unless asked
    FieldReader junk("1-x", JoinedNumbers::Split);
    EXPECT_EQ(junk.readNumber(), 1.0);
    EXPECT_FALSE(junk.readNumber().has_value());  // what follows must still be a number

    FieldReader empties("1,,2");
    EXPECT_EQ(empties.readNumber(), 1.0);
    EXPECT_FALSE(empties.readNumber().has_value());  // an empty field is no number
}

TEST(TitleDecoding, ShiftJisGreekUtf8AndLatin1) {
    EXPECT_EQ(decodeTitleBytes("\x83\xBF=8.0 \x83\xC0=2.0"), "\u03B1=8.0 \u03B2=2.0");
    EXPECT_EQ(decodeTitleBytes("\x83\x9F\x83\xB6\x83\xD6"), "\u0391\u03A9\u03C9");
    EXPECT_EQ(decodeTitleBytes("\xCE\xB1 ok"), "\u03B1 ok");  // already UTF-8
    EXPECT_EQ(decodeTitleBytes("caf\xE9"), "caf\u00E9");      // Latin-1
    EXPECT_EQ(decodeTitleBytes("end\x83"), "end\u0083");      // a lone lead byte at the end
}

}  // namespace
}  // namespace beamdata::text
