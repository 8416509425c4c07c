#pragma once
// The physics validation report: simulated depth doses of single-energy beams beside the
// full-physics reference depth doses of water, with the energies recovered from the ranges.
#include "tools/depth_dose_analysis.h"

#include <string>
#include <vector>

namespace tools {

// Full-physics reference depth dose of a broad parallel monoenergetic beam in water (computed with
// bremsstrahlung and delta rays; depths in cm, about +-0.02 cm statistical).
struct ReferenceDepthDose {
    double energyMeV;
    double doseMaximumDepthCm;
    double r90Cm;
    double r80Cm;
    double r50Cm;
    double r10Cm;
    double practicalRangeCm;
    double surfaceDosePercent;
    double tailPercent;
};

const std::vector<ReferenceDepthDose>& fullPhysicsReference();
// The reference row of that energy, or nullptr.
const ReferenceDepthDose* findReference(double energyMeV);

// One simulated curve: the full run and, from the same generator sequence, its first quarter.
struct ValidationRun {
    double energyMeV = 0.0;
    long long histories = 0;
    double seconds = 0.0;
    DepthDoseCurve curve;
    DepthDoseFigures quality;
    DepthDoseFigures quarterQuality;  // first quarter of the same histories
    double surfaceDosePercent = 0.0;
};

// Statistical uncertainty (1 sigma, mm) of R50 of the full runs, from the quarter runs: a quarter
// run shares its histories with the full one, so var(R50(N/4) - R50(N)) = 3 var(R50(N)); pooled
// over all runs as a root mean square.
double pooledR50UncertaintyMm(const std::vector<ValidationRun>& runs);

// Manifest written by the validation script, one run per line:
//   energyMeV histories seconds fullResultPath quarterResultPath
// Throws engine::RunError naming the manifest line.
std::vector<ValidationRun> loadValidationRuns(const std::string& manifestPath);

// The Markdown report (docs/physics-validation.md); `command` and `plotPath` are quoted in it.
std::string formatValidationReport(const std::vector<ValidationRun>& runs, const std::string& command,
                                   const std::string& plotPath);

}  // namespace tools
