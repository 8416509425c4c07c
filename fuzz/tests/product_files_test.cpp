// Every file that the product writes or ships is still read, and read as it was written: the
// front end's exchange files by the simulators, the simulators' results by the front end, the
// fit's files by the fit and the front end, the data files by all their readers. The campaign
// mutates exactly these files, so they are its seeds too.
#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "beamdata/fluence_file.h"
#include "beamdata/kernel_file.h"
#include "beamdata/range_energy.h"
#include "engine/electron_data.h"
#include "engine/record_io.h"
#include "engine/run_frame.h"
#include "fit/basis_cache.h"
#include "fit/measured_data.h"
#include "fuzz/corpus.h"
#include "fuzz/result_checks.h"
#include "fuzz/target.h"
#include "test_support.h"
#include "viewers/kernel_map.h"
#include "viewers/pdd_comparison.h"
#include "viewers/spectrum_fit_run.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>

namespace {

using testing_support::TempFolder;

const std::filesystem::path DATA(ORVALIS_DATA_DIR);

class ProductFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("product-files");
        corpus_ = new fuzz::Corpus(fuzz::makeCorpus(DATA, ORVALIS_SAMPLES_DIR, folder_->path()));
    }
    static void TearDownTestSuite() {
        delete corpus_;
        delete folder_;
    }
    static TempFolder* folder_;
    static fuzz::Corpus* corpus_;
};
TempFolder* ProductFiles::folder_ = nullptr;
fuzz::Corpus* ProductFiles::corpus_ = nullptr;

// The set-up window's exchange files for a spectrum of the scroll bars, read by the simulators.
TEST_F(ProductFiles, TheExchangeFilesOfEverySetUpAreReadAsWritten) {
    struct SetUp {
        double alpha;
        double beta;
        double maxEnergyMeV;
        const char* histories;
        beamdata::CalculationKind kind;
    };
    for (const SetUp& s : {SetUp{8.0, 2.0, 9.0, "10000000", beamdata::CalculationKind::DepthDose},
                           SetUp{8.0, 2.0, 9.0, "1000000", beamdata::CalculationKind::Kernel},
                           SetUp{0.1, 0.1, 0.1, "1", beamdata::CalculationKind::DepthDose},
                           SetUp{20.0, 20.0, 60.0, "2000000000", beamdata::CalculationKind::Kernel},
                           SetUp{1.0, 1.0, 999.9, "123", beamdata::CalculationKind::DepthDose}}) {
        beamdata::ExchangeContent content;
        content.kind = s.kind;
        content.maxEnergyMeV = s.maxEnergyMeV;
        content.historyText = s.histories;
        content.resultBaseName = "name-of-29-characters-at-most";
        content.titleLine1 = beamdata::alphaTitleLine(s.alpha);
        content.titleLine2 = beamdata::betaTitleLine(s.beta);
        const auto relative = beamdata::relativeBetaDensity(s.alpha, s.beta);
        ASSERT_TRUE(relative.has_value());
        content.relativeWeight = *relative;
        content.resultBaseName.resize(s.kind == beamdata::CalculationKind::Kernel ? 26 : 25);
        beamdata::writeExchangeFiles(folder_->path(), content);
        const auto kind = s.kind == beamdata::CalculationKind::Kernel ? engine::RunKind::Kernel
                                                                      : engine::RunKind::DepthDose;
        const engine::RunFile run = engine::readRunFile(folder_->path() / "Nimbrola.dat", kind);
        EXPECT_NEAR(run.maxEnergyMeV, s.maxEnergyMeV, 1e-4 * s.maxEnergyMeV);
        EXPECT_EQ(run.historyCount, std::stof(s.histories));
        EXPECT_EQ(engine::trimTrailingBlanks(run.resultFileName),
                  content.resultBaseName + beamdata::resultExtension(content.kind));
        const engine::Spectrum spectrum = engine::readSpectrumFile(folder_->path() / "Nimbrola.txt");
        for (std::size_t bin = 0; bin < 100; ++bin) {
            EXPECT_FLOAT_EQ(spectrum.relativeEnergy[bin], static_cast<float>(bin + 1) / 100.0f);
            const double written = content.relativeWeight[bin + 1];
            if (written >= 0.001) {
                EXPECT_NEAR(spectrum.binWeight[bin], written, 5e-4 * written) << bin;
            }
        }
    }
}

TEST_F(ProductFiles, TheSimulatorsResultsAreSoundAndTheFrontEndReadsThem) {
    EXPECT_EQ(fuzz::kernelResultFault(corpus_->kernelResult), "");
    EXPECT_EQ(fuzz::depthDoseResultFault(corpus_->depthDoseResult), "");
    EXPECT_EQ(fuzz::fluenceFileFault(corpus_->fluence), "");

    std::array<double, 151> dose{};
    const auto pdd = orvalis::viewers::loadCalculatedPdd(corpus_->depthDoseResult, dose);
    EXPECT_TRUE(pdd.ok);
    EXPECT_EQ(*pdd.maxDose, 1.0);
    const auto kernel = beamdata::readKernelFile(corpus_->kernelResult);
    ASSERT_TRUE(kernel.has_value());
    EXPECT_GT(kernel->sum, 0.9);
    const auto fluence = beamdata::readFluenceFile(corpus_->fluence);
    ASSERT_TRUE(fluence.spectrum.has_value());
    EXPECT_EQ(fluence.spectrum->points.size(), 100u);
}

TEST_F(ProductFiles, TheFitsFilesAreReadByTheFitAndTheFrontEnd) {
    EXPECT_EQ(fuzz::depthDoseResultFault(corpus_->fittedCurve), "");
    const auto curve = orvalis::viewers::fittedCurvePoints(corpus_->fittedCurve);
    ASSERT_TRUE(curve.has_value());
    EXPECT_EQ(curve->size(), 100u);

    bool grid = false;
    int levels = 0;
    std::istringstream lines(corpus_->fitOutput);
    for (std::string line; std::getline(lines, line);) {
        grid = grid || orvalis::viewers::parseFitResult(line).has_value();
        levels += orvalis::viewers::parseFitLevel(line) ? 1 : 0;
    }
    EXPECT_TRUE(grid);
    EXPECT_EQ(levels, 4);

    std::string reason;
    const std::uint64_t hash = fit::contentHash(folder_->path() / "ELDAT.dat");
    EXPECT_TRUE(
        fit::loadBasis(folder_->path() / corpus_->basisCacheName, 9.0f, fuzz::BASIS_HISTORIES, 112, hash, reason))
        << reason;
}

TEST_F(ProductFiles, TheShippedDataFilesAreReadByAllTheirReaders) {
    const engine::ElectronData table = engine::loadElectronData(DATA / "ELDAT.dat");
    EXPECT_EQ(table.tableEnergyKeV[0], 60000.0f);
    EXPECT_EQ(table.tableEnergyKeV[23], 300.0f);

    EXPECT_EQ(beamdata::readRangeEnergyTable(DATA / "water.csda").energyMeV[32], 60.0);

    std::array<double, 151> depth{}, dose{};
    EXPECT_TRUE(orvalis::viewers::loadMeasuredPdd(corpus_->measured, depth, dose).ok);
    EXPECT_GT(fit::readMeasuredCurve(DATA / "example-9MeV-simulated.csv").depthMm.size(), 40u);
}

}  // namespace
