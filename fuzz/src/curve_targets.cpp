#include "fuzz/curve_targets.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "beamdata/measured_limits.h"
#include "fit/clinical_beam.h"
#include "tools/quality_report.h"

namespace fuzz {
namespace {

constexpr const char* CURVE_FILE = "curve.csv";
constexpr const char* TANK_FILE = "curve.mcc";

std::string csvOf(const std::vector<double>& depthMm, const std::vector<double>& value, double perMm) {
    std::string text = "depth,dose\n";
    char line[64];
    for (std::size_t k = 0; k < depthMm.size(); ++k) {
        std::snprintf(line, sizeof line, "%.6g,%.6g\n", depthMm[k] / perMm, value[k]);
        text += line;
    }
    return text;
}

// A clinical-like measurement of random energy, tail, background, noise, steps and extent.
fit::MeasuredCurve clinicalCurve(FuzzRandom& random) {
    fit::ClinicalBeam beam;
    beam.peakMeV = 6.0 + static_cast<double>(random.below(15));
    beam.tailFraction = 0.05 * static_cast<double>(random.below(6));
    if (random.percent(30)) {
        beam.fieldCm = 6.0;
        beam.sourceDistanceCm = 95.0;
    }
    fit::PhotonBackground photons;
    photons.atRpPercent = 0.5 + static_cast<double>(random.below(5));
    photons.buildUp = 0.5;
    fit::TankScan scan;
    scan.firstDepthMm = random.percent(50) ? 0.5 : 0.5 + static_cast<double>(random.below(5));
    scan.stepMm = 1.0 + static_cast<double>(random.below(5));
    scan.buildUpStepMm = std::min(scan.stepMm, 2.0);
    scan.beyondRpMm = random.percent(30) ? -2.0 : 20.0;  // ending near R10, or in the background
    scan.noisePercent = 0.2 + 0.1 * static_cast<double>(random.below(4));
    scan.ionisation = random.percent(30);
    scan.seed = random.next();
    return fit::measureClinicalBeam(beam, photons, scan).curve;
}

enum class Kind { Realistic, Cm, SecondPeak, FewPoints };

const char* const KIND_WORDS[] = {"realistic", "depths look like cm", "second maximum", "fewer than 5"};

// Realistic curves and the three kinds of implausible ones, answered or refused by orvalis-quality.
class ImplausibleCurveTarget : public Target {
public:
    std::string name() const override { return "orvalis-quality: implausible curves"; }
    int batchSize() const override { return 20; }

    CasePlan prepare(const std::filesystem::path& folder, FuzzRandom& random) const override {
        const auto kind = static_cast<Kind>(random.below(4));
        fit::MeasuredCurve curve = clinicalCurve(random);
        double perMm = 1.0;
        if (kind == Kind::Cm) perMm = 10.0;
        if (kind == Kind::SecondPeak) {
            // A second beam's curve behind the first, higher than its maximum.
            const double end = curve.depthMm.back();
            const double step = curve.depthMm.back() - curve.depthMm[curve.depthMm.size() - 2];
            const double height = 101.0 + static_cast<double>(random.below(50));
            for (int k = 1; k <= 12; ++k) {
                curve.depthMm.push_back(end + k * step);
                curve.dose.push_back(k == 6 ? height : 10.0 + 5.0 * (k % 3));
            }
        }
        if (kind == Kind::FewPoints) {
            // A few points about the maximum, so that the dose is positive.
            const std::size_t keep = 1 + random.below(4);
            const auto peak = static_cast<std::size_t>(std::max_element(curve.dose.begin(), curve.dose.end()) -
                                                       curve.dose.begin());
            const std::size_t from = std::min(peak, curve.depthMm.size() - keep);
            curve.depthMm = std::vector<double>(curve.depthMm.begin() + static_cast<std::ptrdiff_t>(from),
                                                curve.depthMm.begin() + static_cast<std::ptrdiff_t>(from + keep));
            curve.dose = std::vector<double>(curve.dose.begin() + static_cast<std::ptrdiff_t>(from),
                                             curve.dose.begin() + static_cast<std::ptrdiff_t>(from + keep));
        }
        writeBytes(folder / CURVE_FILE, csvOf(curve.depthMm, curve.dose, perMm));
        CasePlan plan;
        plan.description = std::string(KIND_WORDS[static_cast<int>(kind)]) + ": " +
                           std::to_string(curve.depthMm.size()) + " points";
        plan.valid = kind == Kind::Realistic;
        plan.mutatedFile = CURVE_FILE;
        return plan;
    }

    Outcome run(const std::filesystem::path& folder, const CasePlan& plan) const override {
        std::ostringstream out, errors;
        const int status = tools::runQuality(tools::parseQualityArguments({(folder / CURVE_FILE).string()}), out,
                                             errors);
        if (plan.valid) {
            if (status != 0) return {OutcomeKind::Damaged, "a realistic curve was refused: " + errors.str()};
            return {OutcomeKind::Accepted, {}};
        }
        if (status == 0) return {OutcomeKind::Silent, "an implausible curve was answered: " + out.str()};
        const std::string why = plan.description.substr(0, plan.description.find(':'));
        if (errors.str().find(why) == std::string::npos)
            return {OutcomeKind::Damaged, "refused for another reason than \"" + why + "\": " + errors.str()};
        return {OutcomeKind::Refused, errors.str()};
    }

    Verdict judge(const std::filesystem::path&, const CasePlan&, const ChildEnd& end) const override {
        const Outcome& o = *end.outcome;
        if (o.kind == OutcomeKind::Damaged) return {Finding::DamagedResult, o.message};
        if (o.kind == OutcomeKind::Silent) return {Finding::SilentCorruption, o.message};
        if (o.kind == OutcomeKind::Refused) return refusalVerdict(o.message, {CURVE_FILE});
        return {};
    }
};

enum class Size { Bytes, CsvPoints, TankPoints, TankScans, LongLine };

// Files beyond the readers' limits, each just over or far over one limit: refused, naming the file
// and the limit, within the case's time.
class HugeCurveTarget : public Target {
public:
    std::string name() const override { return "orvalis-quality: huge measured files"; }
    int casesPerThousand() const override { return 20; }  // each case writes and reads megabytes

    CasePlan prepare(const std::filesystem::path& folder, FuzzRandom& random) const override {
        const auto size = static_cast<Size>(random.below(5));
        const std::size_t over = 1 + random.below(1000);
        CasePlan plan;
        std::ofstream out;
        const auto open = [&](const char* name) {
            plan.mutatedFile = name;
            out.open(folder / name, std::ios::binary);
        };
        switch (size) {
        case Size::Bytes: {
            open(CURVE_FILE);
            const std::string block(1 << 20, '5');
            for (std::uint64_t written = 0; written <= beamdata::MEASURED_FILE_BYTES_MAX; written += block.size())
                out << block;
            plan.description = "the limit of a measured file: over 64 MB";
            break;
        }
        case Size::CsvPoints:
            open(CURVE_FILE);
            out << "depth,dose\n";
            for (std::size_t k = 0; k < beamdata::MEASURED_POINTS_MAX + over; ++k) out << k << ",1\n";
            plan.description = "the limit of a measured curve: CSV records";
            break;
        case Size::TankPoints:
            open(TANK_FILE);
            out << "BEGIN_SCAN_DATA\n\tBEGIN_SCAN 1\n\t\tSCAN_CURVETYPE=PDD\n\t\tBEGIN_DATA\n";
            for (std::size_t k = 0; k < beamdata::MEASURED_POINTS_MAX + over; ++k) out << "\t\t\t" << k << "\t1\n";
            out << "\t\tEND_DATA\n\tEND_SCAN 1\nEND_SCAN_DATA\n";
            plan.description = "the limit of a measured curve: mcc points";
            break;
        case Size::TankScans:
            open(TANK_FILE);
            out << "BEGIN_SCAN_DATA\n";
            for (std::size_t k = 1; k <= beamdata::MEASURED_SCANS_MAX + over; ++k)
                out << "\tBEGIN_SCAN " << k << "\n\t\tSCAN_CURVETYPE=INPLANE_PROFILE\n\t\tBEGIN_DATA\n\t\t\t0\t1\n"
                    << "\t\tEND_DATA\n\tEND_SCAN " << k << "\n";
            out << "END_SCAN_DATA\n";
            plan.description = "the limit of a measured file: mcc scans";
            break;
        case Size::LongLine:
            // Within the size limit, one line of megabytes: read or refused, never slow.
            open(CURVE_FILE);
            out << "depth,dose\n" << std::string(8u << 20, '7') << ",1\n";
            plan.description = "a line of 8 MB";
            plan.valid = true;
            break;
        }
        return plan;
    }

    Outcome run(const std::filesystem::path& folder, const CasePlan& plan) const override {
        std::ostringstream out, errors;
        const int status = tools::runQuality(tools::parseQualityArguments({(folder / plan.mutatedFile).string()}), out,
                                             errors);
        if (status == 0) {
            if (plan.valid) return {OutcomeKind::Accepted, {}};
            return {OutcomeKind::Silent, "a file over a limit was answered: " + plan.description};
        }
        const std::string limit = plan.description.substr(0, plan.description.find(':'));
        if (!plan.valid && errors.str().find(limit) == std::string::npos)
            return {OutcomeKind::Damaged, "refused without naming " + limit + ": " + errors.str()};
        return {OutcomeKind::Refused, errors.str()};
    }

    Verdict judge(const std::filesystem::path&, const CasePlan& plan, const ChildEnd& end) const override {
        const Outcome& o = *end.outcome;
        if (o.kind == OutcomeKind::Damaged) return {Finding::DamagedResult, o.message};
        if (o.kind == OutcomeKind::Silent) return {Finding::SilentCorruption, o.message};
        if (o.kind == OutcomeKind::Refused) return refusalVerdict(o.message, {plan.mutatedFile});
        return {};
    }
};

}  // namespace

std::vector<std::unique_ptr<Target>> curveTargets() {
    std::vector<std::unique_ptr<Target>> targets;
    targets.push_back(std::make_unique<ImplausibleCurveTarget>());
    targets.push_back(std::make_unique<HugeCurveTarget>());
    return targets;
}

}  // namespace fuzz
