// fit-falloff-steps: how far Rp and R50 of the beam-quality figures move when the clinical-like test
// beams, scanned at 1 or 2 mm, are thinned to 3, 4 and 5 mm (every phase of the thinning), and how
// far the fit's practical range lies from the table's Rp. Writes one table row per beam and step (the
// worst over the noise seeds), then the worst per step.
//
//   fit-falloff-steps [--seeds N] [--noise FACTOR]
// --seeds N measures every beam N times with fresh noise (the test set's own seed first);
// --noise FACTOR scales the noise of the readings (0: none).
#include "beamdata/beam_quality.h"
#include "fit/measured_data.h"
#include "fit/test_curves.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

fit::MeasuredCurve percentOf(fit::MeasuredCurve curve) {
    const double largest = *std::max_element(curve.dose.begin(), curve.dose.end());
    for (double& v : curve.dose) v = 100.0 * v / largest;
    return curve;
}

struct Worst {
    double rp = 0.0, r50 = 0.0, fitRp = 0.0;
    void take(const Worst& w) {
        rp = std::max(rp, w.rp);
        r50 = std::max(r50, w.r50);
        fitRp = std::max(fitRp, w.fitRp);
    }
};

// Seeds far from the test set's own (11 to 22), one block per repetition.
constexpr std::uint64_t SEED_STRIDE = 1000;

}  // namespace

int main(int argc, char** argv) {
    int seeds = 1;
    double noise = 1.0;
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--seeds") == 0)
            seeds = std::max(1, std::atoi(argv[a + 1]));
        else if (std::strcmp(argv[a], "--noise") == 0)
            noise = std::atof(argv[a + 1]);
    }
    std::printf("%d noise seed(s), noise x %.2f\n\n", seeds, noise);
    std::printf("| beam | fine step mm | coarse step mm | max |dRp| mm | max |dR50| mm | max |fit Rp - Rp| mm |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    Worst overall[6];
    double worstTangent = 0.0;
    std::string worstTangentBeam;
    // What the noise alone does to the fine scan's figures: a second scan of the same beam at the
    // same step moves them this far, whatever the step.
    Worst noiseOnly;
    double tangentNoiseOnly = 0.0;
    for (const double fineStep : {1.0, 2.0}) {
        const std::vector<fit::ClinicalCase> set = fit::clinicalTestSet(fineStep);
        for (std::size_t beam = 0; beam < set.size(); ++beam) {
            Worst perStep[6];
            for (int s = 0; s < seeds; ++s) {
                fit::ClinicalCase c = set[beam];
                c.scan.seed += SEED_STRIDE * static_cast<std::uint64_t>(s);
                c.scan.noisePercent *= noise;
                const fit::MeasuredCurve fine = fit::measuredDose(c);
                const beamdata::BeamQuality reference = beamdata::beamQuality(fine.depthMm, fine.dose);
                fit::ClinicalCase quiet = c;
                quiet.scan.noisePercent = 0.0;
                const fit::MeasuredCurve clean = fit::measuredDose(quiet);
                const beamdata::BeamQuality cleanQuality = beamdata::beamQuality(clean.depthMm, clean.dose);
                noiseOnly.rp = std::max(noiseOnly.rp, std::fabs(reference.rpMm - cleanQuality.rpMm));
                noiseOnly.r50 = std::max(noiseOnly.r50, std::fabs(reference.r50Mm - cleanQuality.r50Mm));
                if (fineStep == 1.0) {
                    const double tangentRp = fit::localTangentPracticalRangeMm(
                        percentOf(fine), reference.background.interceptPercent, reference.background.slopePerMm);
                    const double d = std::fabs(reference.rpMm - tangentRp);
                    if (!(d <= worstTangent)) worstTangent = d, worstTangentBeam = c.name;
                    const double cleanTangentRp = fit::localTangentPracticalRangeMm(
                        percentOf(clean), cleanQuality.background.interceptPercent, cleanQuality.background.slopePerMm);
                    tangentNoiseOnly = std::max(tangentNoiseOnly, std::fabs(tangentRp - cleanTangentRp));
                }
                for (const std::size_t factor : {2, 3, 4, 5}) {
                    const double coarseStep = fineStep * static_cast<double>(factor);
                    if (coarseStep < 3.0 || coarseStep > 5.0) continue;
                    Worst w;
                    for (std::size_t phase = 0; phase < factor; ++phase) {
                        const fit::MeasuredCurve coarse = fit::thinnedCurve(fine, factor, phase);
                        const beamdata::BeamQuality q = beamdata::beamQuality(coarse.depthMm, coarse.dose);
                        const double fitRp = fit::practicalRangeMm(coarse).value_or(NAN);
                        w.rp = std::max(w.rp, std::fabs(q.rpMm - reference.rpMm));
                        w.r50 = std::max(w.r50, std::fabs(q.r50Mm - reference.r50Mm));
                        w.fitRp = std::max(w.fitRp, std::fabs(fitRp - q.rpMm));
                        if (!std::isfinite(q.rpMm) || !std::isfinite(fitRp)) w.rp = w.fitRp = INFINITY;
                        if (!std::isfinite(q.r50Mm)) w.r50 = INFINITY;
                    }
                    perStep[static_cast<int>(coarseStep)].take(w);
                }
            }
            for (int step = 3; step <= 5; ++step) {
                if (fineStep == 2.0 && step != 4) continue;
                const Worst& w = perStep[step];
                std::printf("| %s | %.0f | %d | %.2f | %.2f | %.2f |\n", set[beam].name, fineStep, step, w.rp, w.r50,
                            w.fitRp);
                overall[step].take(w);
            }
        }
    }
    std::printf("\n| coarse step mm | max |dRp| mm | max |dR50| mm | max |fit Rp - Rp| mm |\n|---:|---:|---:|---:|\n");
    for (int step = 3; step <= 5; ++step)
        std::printf("| %d | %.2f | %.2f | %.2f |\n", step, overall[step].rp, overall[step].r50, overall[step].fitRp);
    std::printf("\nOn 1 mm steps, max |Rp - local tangent Rp|: %.2f mm (%s)\n", worstTangent, worstTangentBeam.c_str());
    std::printf(
        "Noise alone, the fine scan against the same scan without noise: max |dRp| %.2f mm, max |dR50| %.2f "
        "mm, max |d local tangent Rp| %.2f mm\n",
        noiseOnly.rp, noiseOnly.r50, tangentNoiseOnly);
    return 0;
}
