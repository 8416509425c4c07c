// The free-form command: its options, RESULT lines with their parser, the exchange files against
// the front end's writer, and the refusals that leave no file behind.
#include "fit/free_fit_command.h"

#include "beamdata/fit_protocol.h"
#include "beamdata/free_exchange.h"
#include "engine/record_io.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "fit/beta_weights.h"
#include "fit/free_fit_report.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

using testing_support::TempFolder;

TEST(FreeFitArguments, TakesTheFreeModelOptionsAndRefusesThemWithBeta) {
    const fit::CommandOptions o = fit::parseArguments(
        {"m.csv", "--model", "free", "--rp", "measured", "--smooth", "1e-4", "--background", "off", "--exchange"});
    EXPECT_EQ(o.model, fit::SpectrumModel::Free);
    EXPECT_EQ(*o.smooth, 1e-4);
    EXPECT_EQ(o.background, fit::BackgroundMode::Off);
    EXPECT_TRUE(o.writeExchange);
    EXPECT_FALSE(o.fromDepthMm.has_value());
    EXPECT_EQ(fit::parseArguments({"m.csv", "--emax", "9"}).model, fit::SpectrumModel::Beta);
    // The free-form basis takes more histories unless told; the Beta model's stays as it was.
    EXPECT_EQ(fit::historiesPerCurve(o), fit::DEFAULT_FREE_HISTORIES_PER_CURVE);
    EXPECT_EQ(fit::historiesPerCurve(fit::parseArguments({"m.csv", "--emax", "9"})), 20000);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"m.csv", "--emax", "9", "--smooth", "1"},
          {"m.csv", "--emax", "9", "--exchange"},
          {"m.csv", "--model", "gauss", "--emax", "9"},
          {"m.csv", "--model", "free", "--emax", "9", "--smooth", "-1"},
          {"m.csv", "--model", "free", "--emax", "9", "--background", "maybe"},
          {"m.csv", "--model", "free", "--emax", "9", "--exchange", "--kernel-exchange"},
          {"m.csv", "--model", "free", "--emax", "9", "--fixed-emax"}})
        EXPECT_THROW(fit::parseArguments(bad), std::invalid_argument) << bad.back();
}

fit::FreeFitResult someResult() {
    fit::FreeFitResult r;
    r.maxEnergyMeV = 11.2f;
    r.rmsPercent = 0.41234;
    r.meanEnergyMeV = 8.7312;
    r.peakEnergyMeV = 9.184;
    r.backgroundAtRpPercent = 1.85;
    r.smooth = 3.1623e-4;
    r.measured = {26.31, 28.5, 33.25, 40.0};
    r.free = {26.4, 28.45, 33.3, 40.1};
    r.window = {26.45, 28.6, 33.2, std::nan("")};
    return r;
}

TEST(FreeResultLines, TheParserReadsWhatTheWriterWrites) {
    const std::string lines = fit::freeResultLines(someResult(), someResult());
    EXPECT_EQ(lines.substr(0, lines.find('\n')),
              "RESULT free rms=0.4123 emax=11.2 mean=8.731 peak=9.184 background=1.850 smooth=3.1623e-04 "
              "smooth-by=given noise=0.0000");
    EXPECT_NE(lines.find("RESULT R90 measured=26.310 free=26.400 window=26.450\n"), std::string::npos);
    const auto parsed = beamdata::parseFreeFitOutput("PROGRESS free 1 1\nsome report\r\n" + lines);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->summary.maxEnergyMeV, 11.2);
    EXPECT_EQ(parsed->summary.smooth, 3.1623e-4);
    EXPECT_EQ(parsed->levels[2].modelMm[0], 33.3);
    EXPECT_FALSE(parsed->levels[3].modelMm[1].has_value());  // a level the model never reaches

    // The Beta fit's level lines and damaged lines are not free-form results.
    EXPECT_FALSE(beamdata::parseFreeFitOutput(lines.substr(0, lines.rfind("RESULT R10")) +
                                              "RESULT R10 measured=26.310 grid=26.4 continuous=26.5\n")
                     .has_value());
    const auto summaryOf = [](const std::string& line) {
        const auto record = beamdata::parseResultLine(line);
        return record ? beamdata::freeSummary(*record) : std::nullopt;
    };
    EXPECT_FALSE(summaryOf("RESULT free rms=0.4 emax=11.2 mean=8.7 peak=9.1 background=x smooth=1"));
    EXPECT_FALSE(summaryOf("RESULT grid alpha=8 beta=2 emax=9 rms=1"));
    // The report says how the smoothing was chosen, and when the evidence ran to its weakest.
    fit::FreeFitResult chosen = someResult();
    chosen.smoothChosen = true;
    EXPECT_NE(fit::freeReportText(chosen).find("(chosen by the largest evidence, "), std::string::npos);
    chosen.smooth = fit::EVIDENCE_SMOOTH_LOWEST;
    EXPECT_NE(fit::freeReportText(chosen).find("(chosen by the largest evidence, held at its weakest 1e-07, "),
              std::string::npos)
        << fit::freeReportText(chosen);
    EXPECT_NE(fit::freeReportText(someResult()).find(" (given, "), std::string::npos);
    // The summary of an older fit, without how the smoothing was chosen, still reads.
    const auto older = summaryOf("RESULT free rms=0.4 emax=11.2 mean=8.7 peak=9.1 background=0 smooth=1e-5");
    ASSERT_TRUE(older.has_value());
    EXPECT_TRUE(older->smoothBy.empty());
    EXPECT_FALSE(older->noisePercent.has_value());
}

TEST(FreeResultLines, IntervalsAndTheBandGoThroughTheOneParser) {
    fit::FreeFitResult r = someResult();
    r.smoothChosen = true;
    r.noisePercent = 0.3125;
    r.relativeWeight[40] = 1.0;
    fit::PosteriorSummary u;
    u.samples = 300;
    u.energy = {fit::Interval{8.7312, 8.6, 8.9}, fit::Interval{9.184, 9.0, 9.3}};
    u.level = {fit::Interval{26.4, 26.2, 26.7}, fit::Interval{28.45, 28.3, 28.6}, fit::Interval{33.3, 33.25, 33.36},
               fit::Interval{40.1, std::nan(""), std::nan("")}};
    u.bandHigh[40] = 1.25;
    u.bandLow[40] = 0.8;
    u.bandHigh[41] = 0.0625;
    r.uncertainty = u;
    const std::string lines = fit::freeResultLines(r, r);
    EXPECT_NE(lines.find("RESULT interval quantity=mean value=8.731 low=8.600 high=8.900 level=0.95\n"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("RESULT interval quantity=R50 value=33.300 low=33.250 high=33.360 level=0.95\n"),
              std::string::npos);
    EXPECT_EQ(lines.find("quantity=R10"), std::string::npos) << "an interval without bounds is left out";
    EXPECT_NE(lines.find(" smooth-by=evidence noise=0.3125\n"), std::string::npos);
    const auto parsed = beamdata::parseFreeFitOutput(lines);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->summary.smoothBy, "evidence");
    EXPECT_EQ(parsed->summary.noisePercent, 0.3125);
    ASSERT_EQ(parsed->intervals.size(), 5u);
    EXPECT_EQ(parsed->intervals[1].quantity, "peak");
    EXPECT_EQ(parsed->intervals[3].high, 28.6);
    EXPECT_EQ(parsed->intervals[4].level, 0.95);
    ASSERT_TRUE(parsed->band.has_value());
    EXPECT_EQ(parsed->band->high[40], 1.25);
    EXPECT_EQ(parsed->band->low[40], 0.8);
    EXPECT_EQ(parsed->band->high[41], 0.0625);
    EXPECT_EQ(parsed->band->low[99], 0.0);

    // Damaged records are not intervals or bands; --no-uncertainty output has neither and still reads.
    const auto record = [](const std::string& line) { return *beamdata::parseResultLine(line); };
    EXPECT_FALSE(beamdata::intervalReport(record("RESULT interval quantity=R70 value=1 low=0 high=2 level=0.95")));
    EXPECT_FALSE(beamdata::intervalReport(record("RESULT interval quantity=R50 value=1 low=3 high=2 level=0.95")));
    EXPECT_FALSE(beamdata::intervalReport(record("RESULT interval quantity=mean value=1 low=0 high=2")));
    EXPECT_FALSE(beamdata::spectrumBand(record("RESULT spectrum-band low=0,1 high=1,2")));
    r.uncertainty.reset();
    const auto without = beamdata::parseFreeFitOutput(fit::freeResultLines(r, r));
    ASSERT_TRUE(without.has_value());
    EXPECT_TRUE(without->intervals.empty());
    EXPECT_FALSE(without->band.has_value());

    // The options: a number of samples, or none at all; neither with the Beta model.
    const fit::CommandOptions o = fit::parseArguments({"m.csv", "--model", "free", "--emax", "9", "--samples", "50"});
    EXPECT_EQ(o.samples, 50);
    EXPECT_TRUE(o.uncertainty);
    EXPECT_FALSE(fit::parseArguments({"m.csv", "--model", "free", "--emax", "9", "--no-uncertainty"}).uncertainty);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"m.csv", "--emax", "9", "--no-uncertainty"},
          {"m.csv", "--model", "free", "--emax", "9", "--samples", "5"},
          {"m.csv", "--model", "free", "--emax", "9", "--samples", "x"},
          {"m.csv", "--model", "free", "--emax", "9", "--samples", "50", "--no-uncertainty"}})
        EXPECT_THROW(fit::parseArguments(bad), std::invalid_argument) << bad.back();
}

TEST(FreeResultLines, HandOverTheRunSpectrumAndWhyNoBackgroundWasFitted) {
    fit::FreeFitResult drawn = someResult();
    fit::FreeFitResult run = someResult();
    for (std::size_t j = 0; j < drawn.relativeWeight.size(); ++j) {
        drawn.relativeWeight[j] = j >= 60 ? 1.0 - 0.01 * static_cast<double>(j - 60) : 0.0;
        run.relativeWeight[j] = j >= 70 ? 0.123456789 * static_cast<double>(j - 69) / 30.0 : 0.0;
    }
    const std::string reason = "the dose beyond the practical range falls by 4.2 % per mm, faster than photons";
    const std::string lines = fit::freeResultLines(drawn, run, reason);
    EXPECT_NE(lines.find("RESULT run-spectrum weights=0,"), std::string::npos);
    const auto parsed = beamdata::parseFreeFitOutput(lines);
    ASSERT_TRUE(parsed.has_value()) << lines;
    EXPECT_EQ(parsed->noBackgroundReason, reason);
    for (std::size_t j = 0; j < run.relativeWeight.size(); ++j) {
        EXPECT_NEAR(parsed->spectrum[j], drawn.relativeWeight[j], 5e-4 * drawn.relativeWeight[j]) << j;
        EXPECT_NEAR(parsed->runSpectrum[j], run.relativeWeight[j], 5e-4 * run.relativeWeight[j]) << j;
        // Four significant digits are all the exchange file keeps: the record loses nothing of them.
        EXPECT_EQ(beamdata::weightText(parsed->runSpectrum[j]), beamdata::weightText(run.relativeWeight[j])) << j;
    }
    EXPECT_FALSE(fit::freeResultLines(drawn, run).find("no-background") != std::string::npos);
    // Without the spectrum for the simulators the output cannot be run.
    std::string withoutRun = lines;
    const std::size_t at = withoutRun.find("RESULT run-spectrum");
    withoutRun.erase(at, withoutRun.find('\n', at) - at + 1);
    EXPECT_FALSE(beamdata::parseFreeFitOutput(withoutRun).has_value());
}

TEST(FreeExchange, WritesTheFilesAsTheSetUpWindowDoes) {
    beamdata::FreeFitOutput e;
    e.summary.maxEnergyMeV = 11.2;
    e.summary.backgroundPercent = 1.85;
    e.spectrum.fill(1.0);  // drawn, not run
    for (std::size_t j = 0; j < e.runSpectrum.size(); ++j)
        e.runSpectrum[j] = j < 40 ? 0.0 : std::exp(-0.5 * std::pow((static_cast<double>(j) - 80.0) / 6.0, 2));
    const std::filesystem::path measured = "dir/beam9.csv";
    const std::string run = beamdata::runFileBytes(
        beamdata::freeExchangeContent(e, measured, beamdata::CalculationKind::DepthDose));
    EXPECT_EQ(run, " 11.2\r\n10000000.\r\nbeam9-free.pdd\r\nbeam9-free.spct\r\n");
    EXPECT_EQ(beamdata::runFileBytes(beamdata::freeExchangeContent(e, measured, beamdata::CalculationKind::Kernel)),
              " 11.2\r\n1000000.\r\nbeam9-free.elk\r\n");
    const std::string spectrum = beamdata::spectrumFileBytes(
        beamdata::freeExchangeContent(e, measured, beamdata::CalculationKind::DepthDose));
    const auto records = testing_support::splitRecords(spectrum);
    ASSERT_EQ(records.size(), 102u);
    EXPECT_EQ(records[0], "free-form fit");
    EXPECT_EQ(records[1], "background 1.9 % left out");
    EXPECT_EQ(records[82], "00.81 1.000E+00");
    EXPECT_EQ(records[101], "01.00 6.645E-03");
    EXPECT_EQ(records[60], "00.59 1.204E-03");  // just above the simulators' floor of 0.001
    EXPECT_EQ(records[59], "00.58 0.000E+00");  // 6.4e-4 of the peak: below it, written as 0
    // Read back by the simulators' reader, every weight is what the fit meant, floor applied.
    testing_support::TempFolder folder("free-exchange");
    testing_support::writeFile(folder.path() / "Nimbrola.txt", spectrum);
    const engine::Spectrum read = engine::readSpectrumFile(folder.path() / "Nimbrola.txt");
    for (std::size_t j = 0; j < 100; ++j) {
        const float expected = fit::weightAsRead(e.runSpectrum[j]);
        EXPECT_EQ(read.binWeight[j], expected < engine::WEIGHT_FLOOR ? 0.0f : expected) << j + 1;
    }

    e.noBackgroundReason = "switched off";
    EXPECT_EQ(testing_support::splitRecords(beamdata::spectrumFileBytes(
                  beamdata::freeExchangeContent(e, measured, beamdata::CalculationKind::Kernel)))[1],
              "no background");

    // Names the simulators would cut at 30 characters are shortened so that they stay apart.
    EXPECT_EQ(beamdata::freeResultStem("dir/beam9.csv"), "beam9");
    const std::string stem = beamdata::freeResultStem("Linac2_20MeV_15x15_measured_in_water.csv");
    EXPECT_EQ(stem, "Linac2_20MeV_15x15_m");
    EXPECT_EQ((stem + "-free.spct").size(), 30u);
}

// A folder with the data files and a measured curve that falls off from 100 % at 20 mm to 0 at 40 mm.
enum class Shape { FallOff, Flat, TwoFallOffs };

// Relative dose of the test measurements at a depth in mm.
double doseOf(Shape shape, double z) {
    switch (shape) {
    case Shape::Flat: return 80.0 + 0.2 * z;
    case Shape::FallOff: return z < 20.0 ? 80.0 + z : std::max(1.0, 100.0 - 5.0 * (z - 20.0));
    case Shape::TwoFallOffs:  // a second group of electrons holds 30 % beyond the first fall-off
        if (z < 20.0) return 80.0 + z;
        if (z < 30.0) return 100.0 - 7.0 * (z - 20.0);
        return z < 50.0 ? 30.0 : std::max(1.0, 30.0 - 2.9 * (z - 50.0));
    }
    return 0.0;
}

struct CommandFolder {
    TempFolder folder{"free-fit-command"};
    CommandFolder(double lastDepthMm, Shape shape = Shape::FallOff) {
        testing_support::writeFile(folder.path() / "ELDAT.dat", testing_support::readFile(ELDAT_PATH));
        testing_support::writeFile(folder.path() / "water.csda", testing_support::readFile(WATER_CSDA_PATH));
        std::string text = "depth, dose\n";
        for (double z = 1.0; z <= lastDepthMm; z += 1.0)
            text += std::to_string(z) + ", " + std::to_string(doseOf(shape, z)) + "\n";
        testing_support::writeFile(folder.path() / "m.csv", text);
    }
    fit::CommandOptions options(std::vector<std::string> more) const {
        std::vector<std::string> arguments = {(folder.path() / "m.csv").string(), "--model", "free", "--histories",
                                              "200"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        fit::CommandOptions o = fit::parseArguments(arguments);
        o.workFolder = folder.path();
        return o;
    }
    bool has(const std::string& name) const { return std::filesystem::exists(folder.path() / name); }
};

TEST(FreeFitCommand, WritesResultsAndExchangeFilesThatTheSimulatorsRead) {
    const CommandFolder f(60.0);
    const fit::CommandOptions o = f.options(
        {"--rp", "measured", "--exchange", "--out", (f.folder.path() / "model.pdd").string()});
    std::ostringstream out;
    ASSERT_EQ(fit::runFreeFitCommand(o, out), 0);
    const auto parsed = beamdata::parseFreeFitOutput(out.str());
    ASSERT_TRUE(parsed.has_value()) << out.str();
    EXPECT_GT(parsed->summary.backgroundPercent, 0.0);  // the curve ends at 1 %, 20 mm beyond Rp
    EXPECT_NEAR(*parsed->levels[2].measuredMm, 30.0, 1e-9);
    EXPECT_NE(out.str().find("Exchange files Nimbrola.dat and Nimbrola.txt written for Tolvane: m-free.pdd"),
              std::string::npos);
    // The run of the simulators holds no photons: their spectrum is fitted without the background.
    EXPECT_NE(out.str().find("Spectrum for the simulators: refitted without the background"), std::string::npos);
    const auto run = engine::readRunFile(f.folder.path() / "Nimbrola.dat", engine::RunKind::DepthDose);
    EXPECT_EQ(engine::trimTrailingBlanks(run.resultFileName), "m-free.pdd");
    EXPECT_EQ(run.historyCount, 10000000.0f);
    EXPECT_EQ(run.maxEnergyMeV, static_cast<float>(parsed->summary.maxEnergyMeV));
    const engine::Spectrum spectrum = engine::readSpectrumFile(f.folder.path() / "Nimbrola.txt");
    float sum = 0.0f;
    for (float w : spectrum.binWeight) sum += w;
    EXPECT_GT(sum, 1.0f);  // relative weights, the largest 1
    EXPECT_TRUE(f.has("model.pdd"));
    // The basis of the 100 bins is cached apart from the Beta fit's 112 curves at the same energy.
    char cacheName[64];
    std::snprintf(cacheName, sizeof cacheName, "fit-basis-%.1fMeV-100.txt", parsed->summary.maxEnergyMeV);
    EXPECT_TRUE(f.has(cacheName)) << cacheName;
    EXPECT_FALSE(f.has("Nimbrola.dat.part"));
    // The smoothing of largest evidence, the intervals of all six quantities about the fit's values
    // and the band; none of them after --no-uncertainty.
    EXPECT_EQ(parsed->summary.smoothBy, "evidence");
    EXPECT_EQ(parsed->intervals.size(), 6u) << out.str();
    for (const beamdata::IntervalReport& i : parsed->intervals) {
        EXPECT_LE(i.low, i.value) << i.quantity;
        EXPECT_GE(i.high, i.value) << i.quantity;
    }
    ASSERT_TRUE(parsed->band.has_value());
    for (std::size_t j = 0; j < parsed->spectrum.size(); ++j) {
        EXPECT_LE(parsed->band->low[j], parsed->spectrum[j] + 1e-3) << j;
        EXPECT_GE(parsed->band->high[j], parsed->spectrum[j] - 1e-3) << j;
    }
    EXPECT_NE(out.str().find("Uncertainty, 95 % intervals from 300 samples"), std::string::npos);
    std::ostringstream plain;
    ASSERT_EQ(fit::runFreeFitCommand(f.options({"--rp", "measured", "--no-uncertainty"}), plain), 0);
    const auto withoutIntervals = beamdata::parseFreeFitOutput(plain.str());
    ASSERT_TRUE(withoutIntervals.has_value());
    EXPECT_TRUE(withoutIntervals->intervals.empty());
    EXPECT_FALSE(withoutIntervals->band.has_value());
    EXPECT_EQ(plain.str().find("Uncertainty"), std::string::npos);
    EXPECT_EQ(withoutIntervals->summary.meanEnergyMeV, parsed->summary.meanEnergyMeV);
}

TEST(FreeFitCommand, TakesThePracticalRangeOfTheDeepestFallOff) {
    // The steepest fall-off (tangent at 34 mm) belongs to the first group of electrons; the second
    // falls off near 60 mm and is no background. Its Rp sets Emax, so that its electrons fit.
    const CommandFolder f(80.0, Shape::TwoFallOffs);
    std::ostringstream out;
    ASSERT_EQ(fit::runFreeFitCommand(f.options({"--rp", "measured"}), out), 0);
    EXPECT_NE(out.str().find("Practical range of the measurement: 6.0"), std::string::npos) << out.str();
    const auto parsed = beamdata::parseFreeFitOutput(out.str());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_LT(parsed->summary.backgroundPercent, 2.0);  // the 1 % tail beyond 60 mm, not the 30 %
    EXPECT_NEAR(*parsed->levels[3].modelMm[0], *parsed->levels[3].measuredMm, 1.0);
}

TEST(FreeFitCommand, RefusesBadMeasurementsWithoutWritingAnything) {
    auto refused = [](const CommandFolder& f, const fit::CommandOptions& o, const std::string& expected) {
        std::ostringstream out;
        try {
            fit::runFreeFitCommand(o, out);
            ADD_FAILURE() << "accepted: " << expected;
        } catch (const engine::RunError& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
        for (const char* name : {"Nimbrola.dat", "Nimbrola.txt", "model.pdd", "model.pdd.part", "plot.png"})
            EXPECT_FALSE(f.has(name)) << name;
    };
    const std::vector<std::string> outputs = {"--exchange", "--out", "model.pdd", "--plot", "plot.png"};
    auto with = [&](const CommandFolder& f, std::vector<std::string> more) {
        for (const std::string& s : outputs)
            more.push_back(s == "model.pdd" || s == "plot.png" ? (f.folder.path() / s).string() : s);
        return f.options(more);
    };
    const CommandFolder flat(60.0, Shape::Flat);
    refused(flat, with(flat, {"--rp", "measured"}), "m.csv");
    refused(flat, with(flat, {"--emax", "9"}), "m.csv");
    const CommandFolder shortTail(45.0);
    refused(shortTail, with(shortTail, {"--rp", "measured", "--background", "on"}), "m.csv: ends");
    // A result that would overwrite an input is refused before the basis is simulated.
    const CommandFolder sound(60.0);
    const std::string measuredBytes = testing_support::readFile(sound.folder.path() / "m.csv");
    refused(sound, sound.options({"--rp", "measured", "--out", (sound.folder.path() / "m.csv").string()}), "--out");
    refused(sound, sound.options({"--rp", "measured", "--plot", (sound.folder.path() / "ELDAT.dat").string()}),
            "--plot");
    EXPECT_EQ(testing_support::readFile(sound.folder.path() / "m.csv"), measuredBytes);
    for (const auto& entry : std::filesystem::directory_iterator(sound.folder.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("fit-basis-", 0), std::string::npos) << entry.path();
}

}  // namespace
