// Bad measured files: each gives a message that names the file and the line, and nothing crashes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "beamdata/measured_curve_file.h"
#include "engine/run_error.h"

namespace {

using beamdata::parseMeasuredText;

std::string readSample(const std::string& name) {
    std::ifstream in(std::filesystem::path(SAMPLES_PATH) / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string failure(const std::string& text, const std::string& name = "bad.mcc") {
    try {
        parseMeasuredText(text, name);
    } catch (const engine::RunError& e) {
        return e.what();
    }
    return "no error";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

int lineOf(const std::string& text, const std::string& what) {
    const std::size_t at = text.find(what);
    int line = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

TEST(MeasuredFaults, TruncatedScansAreNamedWithTheirLine) {
    const std::string mcc = readSample("electrons-6-9-12MeV.mcc");
    const std::string cut = mcc.substr(0, mcc.find("END_SCAN 4"));
    const int lines = lineOf(cut, "\x01");
    EXPECT_EQ(failure(cut), "bad.mcc, line " + std::to_string(lines) + ": the file ends inside scan 4 (begun on line " +
                                std::to_string(lineOf(mcc, "BEGIN_SCAN 4")) + "): truncated");
    const std::string rfa = readSample("electrons-9-16MeV.asc");
    EXPECT_NE(failure(rfa.substr(0, rfa.rfind(":EOM")), "bad.asc").find("truncated"), std::string::npos);
    const std::string w2cad = readSample("electrons-12-20MeV.cdp");
    EXPECT_NE(failure(w2cad.substr(0, w2cad.rfind("$ENOM")), "bad.cdp").find("bad.cdp, line "), std::string::npos);
    EXPECT_NE(failure(replaced(mcc, "\tEND_SCAN 2\n", ""), "bad.mcc").find("scan 2 has no END_SCAN"),
              std::string::npos);
}

TEST(MeasuredFaults, PointCountsMustAgreeWithThePoints) {
    const std::string rfa = readSample("electrons-9-16MeV.asc");
    EXPECT_EQ(failure(replaced(rfa, "%PTS \t49", "%PTS \t50"), "bad.asc"),
              "bad.asc, line " + std::to_string(lineOf(rfa, ":EOM")) +
                  ": measurement 1 holds 49 points, but its %PTS (line " + std::to_string(lineOf(rfa, "%PTS")) +
                  ") says 50");
    EXPECT_NE(failure(replaced(rfa, ":MSR \t3", ":MSR \t4"), "bad.asc").find("holds 3 measurements, but its :MSR"),
              std::string::npos);
    const std::string w2cad = readSample("electrons-12-20MeV.cdp");
    EXPECT_NE(failure(replaced(w2cad, "%PNTS 175", "%PNTS 174"), "bad.cdp").find("points, but its %PNTS (line "),
              std::string::npos);
    EXPECT_NE(failure(replaced(w2cad, "$NUMS 003", "$NUMS 002"), "bad.cdp").find("but its $NUMS (line 1) says 2"),
              std::string::npos);
}

TEST(MeasuredFaults, TextInANumberFieldIsNamed) {
    const std::string mcc = readSample("example-9MeV.mcc");
    EXPECT_EQ(failure(replaced(mcc, "\t\t\t10.50\t", "\t\t\t10.5O\t")),
              "bad.mcc, line " + std::to_string(lineOf(mcc, "\t\t\t10.50\t")) +
                  ": a position (mm) expected, found \"10.5O\"");
    EXPECT_NE(failure(replaced(mcc, "ENERGY=9.00", "ENERGY=nine")).find(": ENERGY: a number expected, found \"nine\""),
              std::string::npos);
    const std::string rfa = readSample("example-9MeV-rfa300.txt");
    EXPECT_NE(
        failure(replaced(rfa, "  80.90\n", "  80,90\n"), "bad.txt").find("a measured value expected, found \"80,90\""),
        std::string::npos);
    const std::string w2cad = readSample("example-9MeV-w2cad.asc");
    EXPECT_NE(failure(replaced(w2cad, "+080.9 >", "+O80.9 >"), "bad.asc").find("found \"+O80.9\""), std::string::npos);
    EXPECT_EQ(failure("depth,dose\n1,50\n2,x7\n", "bad.csv"), "bad.csv, line 3: expected a number, found \"x7\"");
}

TEST(MeasuredFaults, EmptyBinaryAndProfileOnlyFiles) {
    EXPECT_EQ(failure("", "empty.csv"), "empty.csv, line 1: the file is empty");
    EXPECT_EQ(failure(" \r\n\r\n", "empty.mcc"), "empty.mcc, line 1: the file is empty");
    EXPECT_EQ(failure(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "picture.asc"),
              "picture.asc, line 3: a zero byte: this is a binary file, not a measured text file");
    EXPECT_EQ(failure("depth,dose\n", "header.csv"), "header.csv, line 2: no records after the heading line");
    const std::string profiles = readSample("profiles-only.mcc");
    EXPECT_EQ(failure(profiles, "profiles-only.mcc"),
              "no depth-dose curve in profiles-only.mcc (PTW mcc, 2 scans of other kinds, lines 1 to " +
                  std::to_string(lineOf(profiles, "END_SCAN_DATA")) + ")");
    EXPECT_NE(failure(readSample("profiles-only.asc"), "p.asc").find("no depth-dose curve in p.asc (w2CAD, 1 scan"),
              std::string::npos);
    EXPECT_THROW(beamdata::readMeasuredFile("/no/such/folder/m.mcc"), engine::RunError);
}

}  // namespace
