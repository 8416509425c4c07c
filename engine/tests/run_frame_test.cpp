#include "engine/run_frame.h"

#include "engine/record_io.h"
#include "engine/run_error.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace engine;
using testing_support::readFile;
using testing_support::spectrumLine;
using testing_support::TempFolder;
using testing_support::writeFile;

std::string spectrumText(const std::vector<std::string>& lines) {
    std::string text = "ABC\r\nDEF\r\n";
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

TEST(SpectrumInput, WeightFloorNormalisationCountsAndTotalEnergy) {
    TempFolder folder("spectrum");
    std::vector<std::string> lines;
    for (int i = 1; i <= 100; ++i) lines.push_back(spectrumLine(i / 100.0, 0.0));
    lines[9] = "00.10 9.000E-04";   // below the floor
    lines[19] = "00.20 1.000E-03";  // exactly the floor: stays
    lines[29] = "00.30-5.000E-01";  // negative: floored too
    lines[49] = "00.50 1.000E+00";
    writeFile(folder.path() / "Nimbrola.txt", spectrumText(lines));
    Spectrum spectrum = readSpectrumFile(folder.path() / "Nimbrola.txt");
    EXPECT_EQ(spectrum.binWeight[9], 0.0f);
    EXPECT_EQ(spectrum.binWeight[19], 0.001f);
    EXPECT_EQ(spectrum.binWeight[29], 0.0f);
    EXPECT_EQ(trimTrailingBlanks(spectrum.titleLine1), "ABC");

    normaliseSpectrum(spectrum, 10.0f);
    EXPECT_EQ(spectrum.binWeight[49], 1.0f / 1.001f);
    EXPECT_EQ(spectrum.binEnergyKeV[49], 5000.0f);
    const HistoryCounts counts = historiesPerBin(spectrum, 100000.0f);
    EXPECT_EQ(counts[9], 0);
    EXPECT_EQ(counts[19], 99);  // 0.000999 x 100000 = 99.9 truncated
    EXPECT_EQ(counts[49], 99900);
    EXPECT_NEAR(totalIncidentEnergy(spectrum, 100000.0f), 2000.0f * 0.000999f * 1e5f + 5000.0f * 0.999001f * 1e5f,
                100.0f);

    Spectrum single;
    single.binWeight[0] = 0.00149f;
    EXPECT_EQ(historiesPerBin(single, 1000.0f)[0], 1);  // 1.49 truncated, not rounded
    single.binWeight[0] = 1.0f;
    EXPECT_THROW(historiesPerBin(single, 3.0e9f), RunError);
}

TEST(SpectrumInput, AllWeightsFlooredShortAndMalformedFilesStopWithTheLine) {
    TempFolder folder("spectrum-bad");
    std::vector<std::string> lines;
    for (int i = 1; i <= 100; ++i) lines.push_back(spectrumLine(i / 100.0, 0.0009));
    writeFile(folder.path() / "Nimbrola.txt", spectrumText(lines));
    Spectrum floored = readSpectrumFile(folder.path() / "Nimbrola.txt");
    EXPECT_THROW(normaliseSpectrum(floored, 9.0f), RunError);

    lines.resize(47);
    writeFile(folder.path() / "Nimbrola.txt", spectrumText(lines));
    try {
        readSpectrumFile(folder.path() / "Nimbrola.txt");
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.lineNumber(), 50);
        EXPECT_NE(std::string(error.what()).find("spectrum line 48"), std::string::npos) << error.what();
    }
    lines.resize(100, spectrumLine(0.5, 0.5));
    lines[60] = "00.61 x.000E-01";
    writeFile(folder.path() / "Nimbrola.txt", spectrumText(lines));
    try {
        readSpectrumFile(folder.path() / "Nimbrola.txt");
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.lineNumber(), 63);
    }
    EXPECT_THROW(readSpectrumFile(folder.path() / "missing.txt"), RunError);
}

TEST(RunFileInput, RecordsCountsAndNames) {
    TempFolder folder("runfile");
    testing_support::writeRunFile(folder.path(), " 12.5", "1000.7", "abc.pdd",
                                  "a-fluence-name-longer-than-thirty.spct");
    const RunFile run = readRunFile(folder.path() / "Nimbrola.dat", RunKind::DepthDose);
    EXPECT_EQ(run.maxEnergyMeV, 12.5f);
    EXPECT_EQ(run.historyCount, 1000.7f);
    EXPECT_EQ(trimTrailingBlanks(run.resultFileName), "abc.pdd");
    EXPECT_EQ(run.fluenceFileName, "a-fluence-name-longer-than-thi");  // cut to 30 characters

    testing_support::writeRunFile(folder.path(), " 9.0", "1000.", "abc.pdd");
    EXPECT_NO_THROW(readRunFile(folder.path() / "Nimbrola.dat", RunKind::Kernel));
    try {
        readRunFile(folder.path() / "Nimbrola.dat", RunKind::DepthDose);
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.lineNumber(), 4);
        EXPECT_NE(std::string(error.what()).find("fluence file name"), std::string::npos);
    }
    testing_support::writeRunFile(folder.path(), "nine", "1000.", "abc.pdd");
    EXPECT_THROW(readRunFile(folder.path() / "Nimbrola.dat", RunKind::Kernel), RunError);
    testing_support::writeRunFile(folder.path(), "9", "1.0E12", "abc.pdd");
    EXPECT_THROW(readRunFile(folder.path() / "Nimbrola.dat", RunKind::Kernel), RunError);
}

TEST(ResultHeader, TwelveMeVTitlesAndCount) {
    Spectrum spectrum;
    spectrum.titleLine1 = toCharacterVariable("ABC");
    spectrum.titleLine2 = toCharacterVariable("DEF");
    EXPECT_EQ(resultHeaderLines(12.0f, spectrum, 100000.0f),
              " 12.00 MeV ABC" + std::string(17, ' ') + "DEF" + std::string(17, ' ') + "\r\n    100000.\r\n");
    spectrum.titleLine1 = toCharacterVariable("1234567890123456789012345");
    EXPECT_EQ(resultHeaderLines(9.0f, spectrum, 1.0e6f).substr(0, 31), "  9.00 MeV 12345678901234567890");
}

TEST(AtomicWrite, ReplacesWholeOrLeavesTheOldFile) {
    TempFolder folder("atomic");
    const auto target = folder.path() / "result.elk";
    writeFileAtomically(target, "first\r\n");
    writeFileAtomically(target, "second\r\n");
    EXPECT_EQ(readFile(target), "second\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "result.elk.part"));

    EXPECT_THROW(writeFileAtomically(folder.path() / "no-such-folder" / "x.elk", "data"), RunError);
    const auto occupied = folder.path() / "occupied";
    std::filesystem::create_directories(occupied / "inside");
    EXPECT_THROW(writeFileAtomically(occupied, "data"), RunError);
    EXPECT_TRUE(std::filesystem::is_directory(occupied / "inside"));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "occupied.part"));
}

TEST(Console, LinesQuestionAndEndPause) {
    std::istringstream in("\n   \nresult.elk  \n\n");
    std::ostringstream out;
    Console console(in, out, false);
    console.line("");
    console.line("    ***  Wait a long time  ***");
    console.japaneseLine("utf", "sjis");
    console.timeStamp(START_TIME_FORMAT, LocalTime{9, 5, 30});
    EXPECT_EQ(out.str(), " \r\n     ***  Wait a long time  ***\r\n utf\r\n  Start time = 9: 5:30\r\n");
    out.str("");
    EXPECT_EQ(resolveFileName(toCharacterVariable("named.elk"), console), "named.elk");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(resolveFileName(toCharacterVariable(""), console), "result.elk");
    const std::string question = "File name missing or blank - please enter file name\r\nUNIT 1? ";
    EXPECT_EQ(out.str(), question + question + question);
    out.str("");
    console.endOfRun();
    EXPECT_EQ(out.str(), " \r\n     --- hit RET key ---\r\nStop - Program terminated.\r\n");

    std::istringstream empty("");
    std::ostringstream shiftJisOut;
    Console noInput(empty, shiftJisOut, true);
    noInput.japaneseLine("utf", "sjis");
    EXPECT_EQ(shiftJisOut.str(), " sjis\r\n");
    EXPECT_THROW(resolveFileName(toCharacterVariable(""), noInput), RunError);
    noInput.endOfRun();  // end of input: the pause simply ends
    EXPECT_NE(shiftJisOut.str().find("Stop - Program terminated.\r\n"), std::string::npos);
}

}  // namespace
