#include "fuzz/reader_targets.h"

#include "beamdata/beam_quality.h"
#include "beamdata/fluence_file.h"
#include "beamdata/free_format.h"
#include "beamdata/ionisation_to_dose.h"
#include "beamdata/kernel_file.h"
#include "beamdata/measured_curve_file.h"
#include "beamdata/range_energy.h"
#include "beamdata/title_decoding.h"
#include "common/setup_logic.h"
#include "engine/constants.h"
#include "engine/electron_data.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "fit/basis_cache.h"
#include "fit/measured_data.h"
#include "viewers/dashed_line.h"
#include "viewers/fluence_file.h"
#include "viewers/free_fit_run.h"
#include "viewers/kernel_map.h"
#include "viewers/pdd_comparison.h"
#include "viewers/spectrum_fit_run.h"

#include <array>
#include <cmath>
#include <functional>
#include <sstream>

namespace fuzz {

namespace {

using Reader = std::function<Outcome(const std::filesystem::path& file, bool truncated)>;

constexpr int READER_BATCH = 50;

Outcome accepted() { return {OutcomeKind::Accepted, {}}; }
Outcome refused(const std::string& message) { return {OutcomeKind::Refused, message}; }
Outcome damaged(const std::string& what) { return {OutcomeKind::Damaged, what}; }
Outcome silent(const std::string& what) { return {OutcomeKind::Silent, what}; }

bool finite(double v) { return std::isfinite(v); }

// One reader on one file: the file is a mutation of its valid seed, now and then a folder instead.
class ReaderTarget : public Target {
public:
    ReaderTarget(std::string name, std::string fileName, const std::string& seed, Reader reader,
                 std::vector<std::string> messageNames)
        : name_(std::move(name)),
          fileName_(std::move(fileName)),
          seed_(seed),
          reader_(std::move(reader)),
          messageNames_(std::move(messageNames)) {}

    std::string name() const override { return name_; }
    int batchSize() const override { return READER_BATCH; }

    CasePlan prepare(const std::filesystem::path& folder, FuzzRandom& random) const override {
        CasePlan plan;
        if (random.percent(2)) {
            std::filesystem::create_directory(folder / fileName_);
            plan.description = "a folder in place of " + fileName_;
            return plan;
        }
        const Mutated m = mutate(seed_, random);
        writeBytes(folder / fileName_, m.bytes);
        plan.description = fileName_ + ": " + m.description;
        plan.truncated = m.truncated;
        return plan;
    }

    Outcome run(const std::filesystem::path& folder, const CasePlan& plan) const override {
        try {
            return reader_(folder / fileName_, plan.truncated);
        } catch (const engine::RunError& error) {
            return refused(error.what());
        }
    }

    Verdict judge(const std::filesystem::path&, const CasePlan&, const ChildEnd& end) const override {
        const Outcome& o = *end.outcome;
        switch (o.kind) {
        case OutcomeKind::Accepted:
        case OutcomeKind::Skipped: return {};
        case OutcomeKind::Damaged: return {Finding::DamagedResult, o.message};
        case OutcomeKind::Silent: return {Finding::SilentCorruption, o.message};
        case OutcomeKind::Refused: break;
        }
        if (messageNames_.empty()) return {};  // a reader of the front end: its window shows the read message
        Verdict v{Finding::UnnamedError, o.message};
        for (const std::string& n : messageNames_)
            if (o.message.find(n) != std::string::npos) return {};
        return v;
    }

private:
    std::string name_;
    std::string fileName_;
    const std::string& seed_;
    Reader reader_;
    std::vector<std::string> messageNames_;
};

// The bytes of the file, or a refusal when it cannot be read (a folder, say), as the windows do.
std::optional<std::string> bytesOf(const std::filesystem::path& file) {
    return beamdata::text::readWholeFile(file.string());
}

// A reader of the front end: it gets the file's bytes (a file that cannot be read, such as a
// folder, is refused as the window refuses it) and shows its own read message for a refusal, so no
// file name is required in it.
std::unique_ptr<Target> frontEndTarget(std::string name, std::string fileName, const std::string& seed,
                                       std::function<Outcome(const std::string& bytes)> read) {
    return std::make_unique<ReaderTarget>(
        std::move(name), std::move(fileName), seed,
        [read = std::move(read)](const std::filesystem::path& file, bool) {
            const auto bytes = bytesOf(file);
            if (!bytes) return refused("unreadable");
            return read(*bytes);
        },
        std::vector<std::string>{});
}

void addSimulatorReaders(const Corpus& c, const std::filesystem::path& seedFolder,
                         std::vector<std::unique_ptr<Target>>& targets) {
    // What the whole files hold: a cut file that is taken must hold the same.
    const auto table = std::make_shared<engine::ElectronData>(
        engine::loadElectronData(seedFolder / engine::ELECTRON_DATA_FILE_NAME));
    targets.push_back(std::make_unique<ReaderTarget>(
        "simulators: ELDAT.dat", engine::ELECTRON_DATA_FILE_NAME, c.eldat,
        [table](const std::filesystem::path& file, bool truncated) {
            const engine::ElectronData data = engine::loadElectronData(file);
            if (truncated && (data.deflectionQuantiles != table->deflectionQuantiles ||
                              data.tableEnergyKeV != table->tableEnergyKeV))
                return silent("a cut ELDAT.dat was read with other values than the whole file");
            return accepted();
        },
        std::vector<std::string>{"ELDAT.dat"}));

    const auto spectrum = std::make_shared<engine::Spectrum>(
        engine::readSpectrumFile(seedFolder / engine::SPECTRUM_FILE_NAME));
    targets.push_back(std::make_unique<ReaderTarget>(
        "simulators: Nimbrola.txt", "Nimbrola.txt", c.kernelSpectrum,
        [spectrum](const std::filesystem::path& file, bool truncated) {
            engine::Spectrum read = engine::readSpectrumFile(file);
            if (truncated && (read.binWeight != spectrum->binWeight || read.relativeEnergy != spectrum->relativeEnergy))
                return silent("a cut Nimbrola.txt was read with other values than the whole file");
            engine::normaliseSpectrum(read, 9.0f);
            return accepted();
        },
        std::vector<std::string>{"Nimbrola.txt"}));

    for (const engine::RunKind kind : {engine::RunKind::Kernel, engine::RunKind::DepthDose}) {
        const bool kernelRun = kind == engine::RunKind::Kernel;
        targets.push_back(std::make_unique<ReaderTarget>(
            kernelRun ? "Brisella: Nimbrola.dat" : "Tolvane: Nimbrola.dat", "Nimbrola.dat",
            kernelRun ? c.kernelRun : c.depthDoseRun,
            [kind](const std::filesystem::path& file, bool) {
                const engine::RunFile run = engine::readRunFile(file, kind);
                if (!(run.maxEnergyMeV > 0.0f) || !std::isfinite(run.maxEnergyMeV))
                    return damaged("a maximum energy that is no positive number was taken");
                return accepted();
            },
            std::vector<std::string>{"Nimbrola.dat"}));
    }
}

Outcome csdaOutcome(const beamdata::RangeEnergyTable& table) {
    for (std::size_t k = 0; k < table.rangeCm.size(); ++k) {
        if (!(table.energyMeV[k] > 0.0 && table.rangeCm[k] > 0.0) ||
            (k > 0 && !(table.energyMeV[k] > table.energyMeV[k - 1] && table.rangeCm[k] > table.rangeCm[k - 1])))
            return silent("a range table that is not positive and ascending was taken (row " + std::to_string(k + 1) +
                          ")");
    }
    return accepted();
}

// The one reader of the range table, which the set-up window and orvalis-fit both use.
void addRangeTableReaders(const Corpus& c, std::vector<std::unique_ptr<Target>>& targets) {
    targets.push_back(std::make_unique<ReaderTarget>(
        "front end and orvalis-fit: water.csda", "water.csda", c.waterCsda,
        [](const std::filesystem::path& file, bool) {
            beamdata::RangeEnergyTable table;
            try {
                table = beamdata::readRangeEnergyTable(file);
            } catch (const std::exception& error) {
                return refused(error.what());
            }
            const Outcome o = csdaOutcome(table);
            const auto energy = beamdata::maxEnergyFromPracticalRange(table, 4.5);
            if (o.kind == OutcomeKind::Accepted && energy && !finite(*energy)) return damaged("an infinite energy");
            return o;
        },
        std::vector<std::string>{"water.csda"}));
}

// A curve the plot draws: every point finite, and within the frame's reach in dose.
Outcome curveOutcome(const std::vector<orvalis::viewers::PlotPoint>& points, const orvalis::viewers::PddLoad& load) {
    for (const auto& p : points)
        if (!finite(p.x) || !finite(p.y) || p.y < -1000.0 || p.y > 1000.0)
            return damaged("a curve point beyond the plot's dose scale");
    for (const auto& r : load.ranges)
        if (!finite(r.rangeMm)) return damaged("a range that is not finite");
    return accepted();
}

void addCurveReaders(const Corpus& c, std::vector<std::unique_ptr<Target>>& targets) {
    using namespace orvalis::viewers;
    targets.push_back(
        frontEndTarget("front end: measured .csv", "measured.csv", c.measured, [](const std::string& bytes) {
            std::array<double, PDD_TABLE_LAST + 1> depth{}, dose{};
            const PddLoad load = loadMeasuredPdd(bytes, depth, dose);
            if (!load.curveDrawn) return refused("not drawn");
            return curveOutcome(measuredCurvePoints(depth, dose, *load.maxDose, load.recordCount), load);
        }));
    targets.push_back(std::make_unique<ReaderTarget>(
        "orvalis-fit: measured .csv", "measured.csv", c.measured,
        [](const std::filesystem::path& file, bool) {
            const fit::MeasuredCurve curve = fit::readMeasuredCurve(file);
            for (std::size_t k = 0; k < curve.depthMm.size(); ++k)
                if (!finite(curve.depthMm[k]) || !finite(curve.dose[k]) ||
                    (k > 0 && !(curve.depthMm[k] > curve.depthMm[k - 1])))
                    return damaged("a measured curve with depths that do not increase");
            const auto range = fit::practicalRangeMm(curve);
            if (range && !finite(*range)) return damaged("an infinite practical range");
            return accepted();
        },
        std::vector<std::string>{"measured.csv"}));
    targets.push_back(frontEndTarget("front end: .pdd", "run.pdd", c.depthDoseResult, [](const std::string& bytes) {
        std::array<double, PDD_TABLE_LAST + 1> dose{};
        const PddLoad load = loadCalculatedPdd(bytes, dose);
        for (int mm = 0; mm < 100; ++mm)
            if (const auto p = readoutPercent(dose, load.maxDose.value_or(0.0), mm); p && !finite(*p))
                return damaged("an infinite read-out");
        if (!load.curveDrawn) return refused("not drawn");
        return curveOutcome(calculatedCurvePoints(dose, *load.maxDose), load);
    }));
}

void addFrontEndFileReaders(const Corpus& c, std::vector<std::unique_ptr<Target>>& targets) {
    using namespace orvalis::viewers;
    targets.push_back(frontEndTarget("front end: .elk", "run.elk", c.kernelResult, [](const std::string& bytes) {
        const std::optional<beamdata::KernelFile> kernel = beamdata::readKernelFile(bytes);
        if (!kernel) return refused("not read");
        beamdata::text::decodeTitleBytes(kernel->titleBytes);
        if (!(kernel->maxValue > 0.0) || !finite(kernel->maxValue) || !finite(kernel->sum))
            return damaged("a kernel whose maximum or sum is not a finite positive number");
        for (int i = 1; i <= MAP_DEPTH_BINS; ++i)
            for (int j = 1; j <= MAP_RADIAL_BINS; ++j)
                greyClass((*kernel->table)[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] /
                          kernel->maxValue);
        return accepted();
    }));
    targets.push_back(frontEndTarget("front end: .spct", "run.spct", c.fluence, [](const std::string& bytes) {
        const beamdata::FluenceRead read = beamdata::readFluenceFile(bytes);
        if (!read.spectrum) return refused("not read");
        beamdata::text::decodeTitleBytes(read.spectrum->titleLine);
        if (read.spectrum->points.size() > 100) return damaged("more than 100 points");
        for (const auto& p : orvalis::viewers::fluenceChartPoints(read.spectrum->points, read.spectrum->fluenceMax))
            if (!finite(p.x) || !finite(p.y) || p.y > 100.0 || p.y < -100.0)
                return damaged("a chart point beyond the scale");
        return accepted();
    }));
    targets.push_back(frontEndTarget("front end: fitted curve", "fit.pdd", c.fittedCurve, [](const std::string& bytes) {
        const auto points = fittedCurvePoints(bytes);
        if (!points) return refused("not read");
        // The comparison plot: 10600 x 1150 units on about 630 x 545 pixels, dashes of 8 and 5 px.
        const orvalis::ClipRect plotArea{-500.0, -130.0, 10100.0, 1020.0};
        const double diagonalPx = std::hypot(630.0, 545.0);
        const auto dashes = dashedSegments(*points, 10600.0 / 630.0, 1150.0 / 545.0, 8.0, 5.0, plotArea);
        const double bound = static_cast<double>(points->size()) * (diagonalPx / 13.0 + 2.0);
        if (static_cast<double>(dashes.size()) > bound) return damaged(std::to_string(dashes.size()) + " dashes");
        return accepted();
    }));
    targets.push_back(
        frontEndTarget("front end: orvalis-fit output", "fit-output.txt", c.fitOutput, [](const std::string& bytes) {
            std::istringstream lines(bytes);
            for (std::string line; std::getline(lines, line);) {
                if (const auto percent = fitProgressPercent(line); percent && (*percent < 0 || *percent > 100))
                    return damaged("a progress of " + std::to_string(*percent) + " %");
                if (const auto r = parseFitResult(line);
                    r && !(finite(r->alpha) && finite(r->beta) && finite(r->maxEnergyMeV)))
                    return damaged("a result that is not finite");
                if (const auto l = parseFitLevel(line); l && !(finite(l->measuredMm) && finite(l->fittedMm)))
                    return damaged("a level that is not finite");
                if (const auto r = parseFitResult(line)) orvalis::scrollBarValue(r->alpha);
            }
            return accepted();
        }));
}

void addBasisReader(const Corpus& c, const std::filesystem::path& seedFolder,
                    std::vector<std::unique_ptr<Target>>& targets) {
    const std::uint64_t hash = fit::contentHash(seedFolder / engine::ELECTRON_DATA_FILE_NAME);
    std::string reason;
    const auto whole = std::make_shared<fit::AxisBasis>(
        *fit::loadBasis(seedFolder / c.basisCacheName, 9.0f, BASIS_HISTORIES, fit::basisCurveCount(), hash, reason));
    targets.push_back(std::make_unique<ReaderTarget>(
        "orvalis-fit: basis file", c.basisCacheName, c.basisCache,
        [whole, hash](const std::filesystem::path& file, bool truncated) {
            std::string why;
            const auto basis = fit::loadBasis(file, 9.0f, BASIS_HISTORIES, fit::basisCurveCount(), hash, why);
            if (!basis) return refused(why);
            for (std::size_t k = 0; k < basis->curve.size(); ++k) {
                double sum = 0.0;
                for (double v : basis->curve[k]) {
                    if (!finite(v) || v < 0.0) return damaged("an impossible basis value was taken");
                    sum += v;
                }
                if (sum > static_cast<double>(basis->energyKeV[k]) * 1.001)
                    return damaged("a curve with more energy than its electrons");
            }
            if (truncated && (basis->curve != whole->curve || basis->energyKeV != whole->energyKeV))
                return silent("a cut basis file was read with other values than the whole file");
            return accepted();
        },
        std::vector<std::string>{}));
}

// The one reader of measured curves on water-tank exports: every depth curve it gives, converted to
// dose where it was ionisation, must have finite depths from the surface down and finite values, and
// its beam-quality figures must come out without a fault.
void addWaterTankReaders(const Corpus& c, std::vector<std::unique_ptr<Target>>& targets) {
    const std::pair<const char*, const std::string*> files[] = {
        {"tank.mcc", &c.waterTankMcc}, {"tank.asc", &c.waterTankRfa300}, {"tank.cdp", &c.waterTankW2cad}};
    for (const auto& [name, seed] : files) {
        targets.push_back(std::make_unique<ReaderTarget>(
            std::string("measured curves: ") + name, name, *seed,
            [](const std::filesystem::path& file, bool) {
                const beamdata::MeasuredFile read = beamdata::readMeasuredFile(file);
                for (const beamdata::DepthScan& scan : read.depthScans) {
                    const beamdata::DepthScan dose = beamdata::depthDoseOf(scan, beamdata::QuantityChoice::AsDetected,
                                                                           read.fileName);
                    for (std::size_t k = 0; k < dose.depthMm.size(); ++k)
                        if (!finite(dose.depthMm[k]) || !finite(dose.value[k]) ||
                            (k > 0 && dose.depthMm[k] < dose.depthMm[k - 1]))
                            return damaged("a depth curve with depths out of order or values not finite");
                    beamdata::beamQuality(dose.depthMm, dose.value);
                }
                return accepted();
            },
            std::vector<std::string>{name}));
    }
}

// The free-form fit's output as the fit window reads it.
void addFreeFitOutputReader(const Corpus& c, std::vector<std::unique_ptr<Target>>& targets) {
    targets.push_back(frontEndTarget(
        "front end: orvalis-fit --model free output", "free-output.txt", c.freeFitOutput, [](const std::string& bytes) {
            const auto view = orvalis::viewers::parseFreeFit(bytes);
            if (!view) return refused("not read");
            for (const auto& point : view->spectrum)
                if (!finite(point.energyMeV) || !finite(point.relativeWeight) || point.relativeWeight < 0.0)
                    return damaged("a spectrum point that is not a finite weight");
            orvalis::viewers::freeFitFiguresText(view->result);
            return accepted();
        }));
}

}  // namespace

std::vector<std::unique_ptr<Target>> readerTargets(const Corpus& corpus, const std::filesystem::path& seedFolder) {
    // The whole files, read once by the readers themselves, for what a cut file must still hold.
    writeBytes(seedFolder / engine::ELECTRON_DATA_FILE_NAME, corpus.eldat);
    writeBytes(seedFolder / engine::SPECTRUM_FILE_NAME, corpus.kernelSpectrum);
    writeBytes(seedFolder / corpus.basisCacheName, corpus.basisCache);
    std::vector<std::unique_ptr<Target>> targets;
    addSimulatorReaders(corpus, seedFolder, targets);
    addRangeTableReaders(corpus, targets);
    addCurveReaders(corpus, targets);
    addFrontEndFileReaders(corpus, targets);
    addBasisReader(corpus, seedFolder, targets);
    addWaterTankReaders(corpus, targets);
    addFreeFitOutputReader(corpus, targets);
    return targets;
}

}  // namespace fuzz
