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

TEST(RunFileInput, AMaximumEnergyThatIsNoPositiveEnergyOrThatTheHeaderCannotHoldIsRefused) {
    TempFolder folder("runfile-energy");
    for (const char* energy : {"0", "-1", "-2000", "1e-400", "1.0E-45", "0.004", "1e30", "1000", "999.996"}) {
        testing_support::writeRunFile(folder.path(), energy, "1000.", "abc.elk");
        try {
            readRunFile(folder.path() / "Nimbrola.dat", RunKind::Kernel);
            FAIL() << energy << " was accepted";
        } catch (const RunError& error) {
            EXPECT_EQ(error.fileName(), (folder.path() / "Nimbrola.dat").string());
            EXPECT_EQ(error.lineNumber(), 1) << energy;
            EXPECT_NE(std::string(error.what()).find("maximum energy"), std::string::npos) << error.what();
        }
    }
    for (const char* energy : {"0.01", " 9.0", "60.0", "999.99"}) {
        testing_support::writeRunFile(folder.path(), energy, "1000.", "abc.elk");
        EXPECT_NO_THROW(readRunFile(folder.path() / "Nimbrola.dat", RunKind::Kernel)) << energy;
    }
    // Empty lines before the count move it down; messages name the line it stood on.
    testing_support::writeFile(folder.path() / "Nimbrola.dat", " 9.0\r\n\r\n5.\r\nabc.pdd\r\nabc.spct\r\n");
    const RunFile run = readRunFile(folder.path() / "Nimbrola.dat", RunKind::DepthDose);
    EXPECT_EQ(run.historyCountLine, 3);
    EXPECT_EQ(run.resultNameLine, 4);
    EXPECT_EQ(run.fluenceNameLine, 5);
}

TEST(RunFileInput, ARunThatWouldSimulateNothingIsRefusedWithItsLine) {
    Spectrum spectrum;
    spectrum.relativeEnergy.fill(0.5f);
    spectrum.binWeight[49] = 1.0f;
    spectrum.binWeight[89] = 1.0f;
    normaliseSpectrum(spectrum, 9.0f);
    RunFile run;
    for (float count : {0.0f, -1.0f, -2000.0f, 1.0f, 1.9f}) {  // half of 1.9 truncates to 0 in both bins
        run.historyCount = count;
        try {
            checkRunSimulates(run, historiesPerBin(spectrum, count), totalIncidentEnergy(spectrum, count));
            FAIL() << count << " was accepted";
        } catch (const RunError& error) {
            EXPECT_EQ(error.fileName(), "Nimbrola.dat");
            EXPECT_EQ(error.lineNumber(), 2);
            EXPECT_NE(std::string(error.what()).find("runs no history"), std::string::npos) << error.what();
        }
    }
    run.historyCount = 2.0f;
    EXPECT_NO_THROW(checkRunSimulates(run, historiesPerBin(spectrum, 2.0f), totalIncidentEnergy(spectrum, 2.0f)));

    // Energies below zero (bin labels are used as they stand) can leave no energy to divide by.
    spectrum.relativeEnergy[89] = -0.5f;
    normaliseSpectrum(spectrum, 9.0f);
    try {
        checkRunSimulates(run, historiesPerBin(spectrum, 2.0f), totalIncidentEnergy(spectrum, 2.0f));
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.fileName(), "Nimbrola.txt");
        EXPECT_NE(std::string(error.what()).find("total incident energy of 0"), std::string::npos) << error.what();
    }
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
    const NameOrigin origin{"Nimbrola.dat", 3, "the result file"};
    EXPECT_EQ(resolveFileName(toCharacterVariable("named.elk"), console, origin), "named.elk");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(resolveFileName(toCharacterVariable(""), console, origin), "result.elk");
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
    try {
        resolveFileName(toCharacterVariable(""), noInput, origin);
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(std::string(error.what()).substr(0, 46), "Nimbrola.dat, line 3: the result file name is ");
    }
    noInput.endOfRun();  // end of input: the pause simply ends
    EXPECT_NE(shiftJisOut.str().find("Stop - Program terminated.\r\n"), std::string::npos);
}

}  // namespace
