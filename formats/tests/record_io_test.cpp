#include "engine/record_io.h"

#include "engine/run_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

using namespace engine;

struct OutputCase {
    const char* format;
    float value;
    const char* expected;
};

TEST(RecordOutput, RealFieldsRoundTheExactValueHalvesAwayFromZero) {
    const OutputCase cases[] = {
        {"(E10.3)", 1.0f, " 0.100E+01"},
        {"(E10.3)", 0.0f, " 0.000E+00"},
        {"(E10.3)", -1.0f, " -.100E+01"},  // no optional zero where it would leave no blank in front
        {"(E10.3)", -5.19e-8f, " -.519E-07"},
        {"(F5.2)", -0.5f, " -.50"},
        {"(F6.2)", -0.5f, " -0.50"},
        {"(E10.3)", 0.0009995f, " 0.100E-02"},  // the float lies just above the half: carries into the exponent
        {"(E10.3)", 0.0044999998f, " 0.450E-02"},
        {"(E10.3)", 0.99951172f, " 0.100E+01"},  // 0x3F7FE000 = 0.99951171875 exactly: carries
        {"(E10.3)", 1.125f, " 0.113E+01"},       // exactly half of the last digit: up, not to even
        {"(E10.3)", 1.1875f, " 0.119E+01"},
        {"(E10.3)", 3.0e-12f, " 0.300E-11"},
        {"(E9.3)", 1.0f, "0.100E+01"},
        {"(E8.3)", 1.0f, ".100E+01"},  // the optional zero goes when the field is full
        {"(E7.3)", 1.0f, "*******"},
        {"(E10.4)", 0.09f, "0.9000E-01"},
        {"(E15.7)", 20000.0f, "  0.2000000E+05"},
        {"(F5.0)", -14.0f, " -14."},
        {"(F4.0)", -14.0f, "-14."},
        {"(F3.0)", -14.0f, "***"},
        {"(F5.0)", 110.0f, " 110."},
        {"(F5.0)", 0.0f, "   0."},
        {"(F5.0)", 2.5f, "   3."},  // half away from zero
        {"(F5.0)", -2.5f, "  -3."},
        {"(F6.2)", 12.0f, " 12.00"},
        {"(F6.2)", 0.125f, "  0.13"},
        {"(F6.2)", 0.145f, "  0.14"},  // the float 0.145 is 0.14499999...
        {"(F6.2)", 0.135f, "  0.14"},  // the float 0.135 is 0.13500000...
        {"(F6.2)", 2.675f, "  2.67"},
        {"(F6.2)", 1000.0f, "******"},
        {"(F4.3)", 0.5f, ".500"},
        {"(F11.0)", 100000.0f, "    100000."},
        {"(F11.0)", 1.0e10f, "***********"},
    };
    for (const OutputCase& c : cases) {
        const auto records = formatRecords(RecordFormat(c.format), {c.value});
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0], c.expected) << c.format << " of " << c.value;
    }
}

TEST(RecordOutput, LiteralsTextRepeatAndReversion) {
    const RecordFormat header("(F6.2,' MeV ',2A20)");
    const auto line = formatRecords(header, {12.0f, std::string_view("ABC"), std::string_view("DEF")});
    ASSERT_EQ(line.size(), 1u);
    EXPECT_EQ(line[0], " 12.00 MeV ABC" + std::string(17, ' ') + "DEF" + std::string(17, ' '));
    EXPECT_EQ(line[0].size(), 51u);

    EXPECT_EQ(formatRecords(RecordFormat("(' ','[MeV] ,  Fluence')"), {})[0], " [MeV] ,  Fluence");
    EXPECT_EQ(formatRecords(RecordFormat("(' ',' Start time =',I2,':',I2,':',I2)"), {9, 5, 30})[0],
              "  Start time = 9: 5:30");
    EXPECT_EQ(formatRecords(RecordFormat("(E10.4,', ',E10.4)"), {0.09f, 0.0f})[0], "0.9000E-01, 0.0000E+00");
    EXPECT_EQ(formatRecords(RecordFormat("(I3)"), {1234})[0], "***");

    // 65 integers with "(1X,8I6)": eight full records and one with the 65th value alone.
    std::vector<OutputItem> values;
    for (int k = 0; k < 65; ++k) values.emplace_back(std::int32_t{16384 - k});
    const auto rows = formatRecords(RecordFormat("(1X,8I6)"), values);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0], "  16384 16383 16382 16381 16380 16379 16378 16377");
    EXPECT_EQ(rows[8], "  16320");

    EXPECT_EQ(formatLines(RecordFormat("(A30)"), {std::string_view("x.spct")}),
              "x.spct" + std::string(24, ' ') + "\r\n");
    EXPECT_EQ(listDirectedRecord({std::string_view(" History="), std::int32_t{100000}}), "  History=      100000");
    EXPECT_EQ(listDirectedRecord({std::string_view("")}), " ");
    EXPECT_THROW(RecordFormat("(F5)"), std::invalid_argument);
    EXPECT_THROW(RecordFormat("(I5"), std::invalid_argument);
}

TEST(RecordInput, FieldsFollowTheBlankAndImpliedPointRules) {
    float real = -1.0f;
    EXPECT_TRUE(parseRealField("          ", 3, real));
    EXPECT_EQ(real, 0.0f);
    EXPECT_TRUE(parseRealField("   12345", 3, real));  // no point: the last 3 digits are the fraction
    EXPECT_EQ(real, 12.345f);
    EXPECT_TRUE(parseRealField("  5", 2, real));
    EXPECT_EQ(real, 0.05f);
    EXPECT_TRUE(parseRealField(" 1 2.5 ", 2, real));  // blanks inside are ignored
    EXPECT_EQ(real, 12.5f);
    EXPECT_TRUE(parseRealField(" 7.965E-02", 3, real));
    EXPECT_EQ(real, 7.965E-02f);
    EXPECT_TRUE(parseRealField("  0.2000000E+05", 7, real));
    EXPECT_EQ(real, 20000.0f);
    EXPECT_TRUE(parseRealField("1.5+03", 3, real));
    EXPECT_EQ(real, 1500.0f);
    EXPECT_TRUE(parseRealField("0.1", 0, real));
    EXPECT_EQ(real, 0.1f);  // correctly rounded
    EXPECT_TRUE(parseRealField("-.5", 0, real));
    EXPECT_EQ(real, -0.5f);
    EXPECT_FALSE(parseRealField("  abc", 3, real));
    EXPECT_FALSE(parseRealField("1.2.3", 3, real));
    EXPECT_FALSE(parseRealField("1E", 3, real));
    EXPECT_FALSE(parseRealField("1E99", 3, real));

    std::int32_t integer = -1;
    EXPECT_TRUE(parseIntegerField("      ", integer));
    EXPECT_EQ(integer, 0);
    EXPECT_TRUE(parseIntegerField(" -1 2", integer));
    EXPECT_EQ(integer, -12);
    EXPECT_FALSE(parseIntegerField(" 12.0", integer));
    EXPECT_FALSE(parseIntegerField("99999999999", integer));
}

TEST(RecordInput, StatementsReadRecordsWithReversionAndSkipTheRest) {
    std::string text;
    for (int line = 0; line < 8; ++line) {
        text += " ";
        for (int k = 0; k < 8; ++k) text += formatIntegerField(line * 8 + k, 6);
        text += "\r\n";
    }
    text += "     64  junk\n";  // the rest of the last record is skipped
    text += "00.50 7.965E-02\n";
    std::istringstream in(text);
    LineReader reader(in, "table.dat");
    std::vector<std::int32_t> values(65, -1);
    std::vector<InputItem> items;
    for (auto& v : values) items.emplace_back(&v);
    readFormatted(reader, RecordFormat("(1X,8I6)"), items, "a row");
    for (int k = 0; k < 65; ++k) EXPECT_EQ(values[static_cast<std::size_t>(k)], k);
    EXPECT_EQ(reader.lineNumber(), 9);

    float relative = 0.0f;
    float weight = 0.0f;
    readFormatted(reader, RecordFormat("(F5.2,E10.3)"), {&relative, &weight}, "a spectrum line");
    EXPECT_EQ(relative, 0.5f);
    EXPECT_EQ(weight, 7.965E-02f);

    try {
        readFormatted(reader, RecordFormat("(F5.2,E10.3)"), {&relative, &weight}, "spectrum line 2");
        FAIL() << "reading past the end must fail";
    } catch (const RunError& error) {
        EXPECT_EQ(error.fileName(), "table.dat");
        EXPECT_EQ(error.lineNumber(), 11);
        EXPECT_NE(std::string(error.what()).find("spectrum line 2"), std::string::npos);
    }
}

TEST(RecordInput, MalformedFieldsNameFileLineAndColumns) {
    std::istringstream in("  1     2\n  3    x4\n");
    LineReader reader(in, "bad.dat");
    std::int32_t a = 0;
    std::int32_t b = 0;
    readFormatted(reader, RecordFormat("(2I5)"), {&a, &b}, "two integers");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    try {
        readFormatted(reader, RecordFormat("(2I5)"), {&a, &b}, "two integers");
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.lineNumber(), 2);
        EXPECT_NE(std::string(error.what()).find("columns 6-10"), std::string::npos) << error.what();
    }
}

TEST(RecordInput, ListDirectedAndCharacterReads) {
    std::istringstream in(" 9.0\r\n\r\n10000000.  extra words\n9MeV-9.0_8.0-2.0.pdd\nnot-a-number\n");
    LineReader reader(in, "Nimbrola.dat");
    EXPECT_EQ(readListDirectedReal(reader, "the maximum energy"), 9.0f);
    EXPECT_EQ(readListDirectedReal(reader, "the history count"), 10000000.0f);  // the empty line is skipped
    std::string name;
    readFormatted(reader, RecordFormat("(A30)"), {&name}, "the result file name");
    EXPECT_EQ(name.size(), 30u);
    EXPECT_EQ(trimTrailingBlanks(name), "9MeV-9.0_8.0-2.0.pdd");
    EXPECT_THROW(readListDirectedReal(reader, "a number"), RunError);
    EXPECT_EQ(formatCharacterField(std::string(25, 'a') + "bcdef", 20), std::string(20, 'a'));
}

TEST(RecordInput, ALastLineWithoutItsLineEndMustHoldItsNumbersWhole) {
    const RecordFormat spectrumLine("(F5.2,E10.3)");
    float relative = 0.0f;
    float weight = 0.0f;
    struct Case {
        const char* text;
        bool refused;
    };
    const Case cases[] = {
        {"00.50 7.965E-02\r\n01.00 1.000E-01", false},  // whole, no line end
        {"00.50 7.965E-02\r\n01.00 1.000E-01\r", false},
        {"00.50 7.965E-02\r\n01.00 1.0\r\n", false},  // short but ended: blanks, as ever
        {"00.50 7.965E-02\r\n01.00 1.000E-0", true},
        {"00.50 7.965E-02\r\n01.00 1.0", true},
        {"00.50 7.965E-02\r\n01.0", true},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        LineReader reader(in, "Nimbrola.txt");
        readFormatted(reader, spectrumLine, {&relative, &weight}, "spectrum line 1");
        if (c.refused) {
            EXPECT_THROW(readFormatted(reader, spectrumLine, {&relative, &weight}, "spectrum line 2"), RunError)
                << c.text;
        } else {
            EXPECT_NO_THROW(readFormatted(reader, spectrumLine, {&relative, &weight}, "spectrum line 2")) << c.text;
        }
    }
    // A name defines no record length: the front end writes it unpadded.
    std::istringstream names(" 9.0\r\n1000.\r\nx.elk");
    LineReader reader(names, "Nimbrola.dat");
    readListDirectedReal(reader, "the maximum energy");
    readListDirectedReal(reader, "the history count");
    std::string name;
    readFormatted(reader, RecordFormat("(A30)"), {&name}, "the result file name");
    EXPECT_EQ(trimTrailingBlanks(name), "x.elk");
    EXPECT_FALSE(reader.lastRecordEnded());
}

}  // namespace
