// Each result format read back by its own module's reader, as the simulators write it: the depth
// dose (.pdd, and .sd in its layout), the fluence file (.spct) and the kernel (.elk).
#include "beamdata/depth_dose_file.h"
#include "beamdata/exchange_files.h"
#include "beamdata/fluence_file.h"
#include "beamdata/kernel_file.h"
#include "engine/constants.h"
#include "engine/record_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace beamdata {
namespace {

engine::RunFile run12MeV() {
    engine::RunFile run;
    run.maxEnergyMeV = 12.3f;
    run.historyCount = 1.0e6f;
    return run;
}

// A normalised spectrum with a hump at 80 % of 12.3 MeV and empty bins below 10 %.
engine::Spectrum humpSpectrum() {
    engine::Spectrum spectrum;
    spectrum.titleLine1 = engine::toCharacterVariable("\x83\xBF=8.0");
    spectrum.titleLine2 = engine::toCharacterVariable("\x83\xC0=2.0");
    float sum = 0.0f;
    for (std::size_t i = 0; i < spectrum.binWeight.size(); ++i) {
        const float x = static_cast<float>(i + 1) / 100.0f;
        spectrum.relativeEnergy[i] = x;
        spectrum.binEnergyKeV[i] = x * 12.3f * engine::KEV_PER_MEV;
        spectrum.binWeight[i] = i < 10 ? 0.0f : std::exp(-(x - 0.8f) * (x - 0.8f) / 0.02f);
        sum += spectrum.binWeight[i];
    }
    for (float& weight : spectrum.binWeight) weight /= sum;
    return spectrum;
}

// Within half a unit of the last of the `digits` significant digits of an E field (".dddE+xx").
void expectWithinDigits(double read, double written, int digits, const std::string& where) {
    const double halfUnit = written == 0.0
                                ? 0.0
                                : 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(written))) + 1.0 - digits);
    EXPECT_LE(std::fabs(read - written), halfUnit * (1.0 + 1e-9))
        << where << ": wrote " << written << ", read " << read;
}

TEST(ResultFormats, TheDepthDoseFileReadsBackItsLabelsAndDosesAndTheUncertaintyItsLayout) {
    DoseColumn dose{};
    for (std::size_t i = 0; i < dose.size(); ++i)
        dose[i] = i < 40 ? 0.5f + 0.5f * static_cast<float>(i) / 40.0f : std::exp(-static_cast<float>(i - 40) / 8.0f);
    dose[124] = -4.2e-8f;  // a negative value fills its whole field: "-.420E-07"
    const std::string text = depthDoseFileText(run12MeV(), humpSpectrum(), dose);
    const DepthDoseRecords records = readDepthDoseText(text);
    ASSERT_TRUE(records.complete) << "stopped at line " << records.failedLine;
    ASSERT_EQ(records.dose.size(), static_cast<std::size_t>(DEPTH_DOSE_RECORDS));
    EXPECT_EQ(records.labelMm.front(), 1.0 - engine::DEPTH_LABEL_OFFSET_MM);
    EXPECT_EQ(records.labelMm.back(), 125.0 - engine::DEPTH_LABEL_OFFSET_MM);
    for (std::size_t i = 0; i < dose.size(); ++i)
        expectWithinDigits(records.dose[i], static_cast<double>(dose[i]), 3, "depth bin " + std::to_string(i + 1));
    // The heading records are the run's: maximum energy, the two title lines, the history count.
    // "(F6.2,' MeV ',2A20)": each 30-character title variable cut to its first 20 characters.
    EXPECT_EQ(text.substr(0, text.find("\r\n")), " 12.30 MeV " + std::string("\x83\xBF=8.0") + std::string(14, ' ') +
                                                     "\x83\xC0=2.0" + std::string(14, ' '));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 127);
}

TEST(ResultFormats, TheFluenceFileReadsBackTheSimulatedEnergiesAndWeights) {
    const engine::Spectrum spectrum = humpSpectrum();
    const std::string name = engine::toCharacterVariable("12MeV-8.0_2.0.spct");
    const FluenceRead read = readFluenceFile(fluenceFileText(name, spectrum));
    ASSERT_TRUE(read.spectrum.has_value());
    EXPECT_EQ(read.spectrum->titleLine, name);
    ASSERT_EQ(read.spectrum->points.size(), static_cast<std::size_t>(FLUENCE_POINTS_MAX));
    double largest = 0.0;
    for (std::size_t i = 0; i < spectrum.binWeight.size(); ++i) {
        const FluencePoint& point = read.spectrum->points[i];
        expectWithinDigits(point.energyMeV, static_cast<double>(spectrum.binEnergyKeV[i] * engine::MEV_PER_KEV), 4,
                           "energy of bin " + std::to_string(i + 1));
        expectWithinDigits(point.fluence, static_cast<double>(spectrum.binWeight[i]), 4,
                           "weight of bin " + std::to_string(i + 1));
        largest = std::max(largest, point.fluence);
    }
    EXPECT_EQ(read.spectrum->fluenceMax, largest);
}

TEST(ResultFormats, TheKernelFileReadsBackEveryCellItsSumAndItsMaximum) {
    const auto cell = [](int depth, int ring) {
        if (depth == 3 && ring == 75) return -5.19e-8f;  // fills its field and runs into the cell before
        return 1.0e-3f * std::exp(-static_cast<float>(ring) / 6.0f) / (1.0f + static_cast<float>(depth) / 30.0f);
    };
    const engine::Spectrum spectrum = humpSpectrum();
    const std::string text = kernelFileText(run12MeV(), spectrum, cell);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + KERNEL_FILE_DEPTH_BINS);  // a depth bin per record
    const std::optional<KernelFile> file = readKernelFile(text);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->titleBytes, text.substr(0, text.find("\r\n")));
    double sum = 0.0;
    for (int depth = 1; depth <= KERNEL_FILE_DEPTH_BINS; ++depth)
        for (int ring = 1; ring <= KERNEL_FILE_RADIAL_BINS; ++ring) {
            const double read = (*file->table)[static_cast<std::size_t>(depth)][static_cast<std::size_t>(ring)];
            expectWithinDigits(read, static_cast<double>(cell(depth, ring)), 3,
                               "depth " + std::to_string(depth) + ", ring " + std::to_string(ring));
            sum += read;
        }
    EXPECT_EQ(file->sum, sum);
    expectWithinDigits(file->maxValue, static_cast<double>(cell(1, 1)), 3, "maximum");
}

}  // namespace
}  // namespace beamdata
