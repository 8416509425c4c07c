// fit-falloff-steps: how far Rp and R50 of the beam-quality figures move when the clinical-like test
// beams, scanned at 1 or 2 mm, are thinned to 3, 4 and 5 mm (every phase of the thinning), and how
// far the fit's practical range lies from the table's Rp. Writes one table row per beam and step.
#include "beamdata/beam_quality.h"
#include "fit/measured_data.h"
#include "fit/test_curves.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

fit::MeasuredCurve percentOf(fit::MeasuredCurve curve) {
    const double largest = *std::max_element(curve.dose.begin(), curve.dose.end());
    for (double& v : curve.dose) v = 100.0 * v / largest;
    return curve;
}

struct Worst {
    double rp = 0.0, r50 = 0.0, fitRp = 0.0;
};

}  // namespace

int main() {
    std::printf("| beam | fine step mm | coarse step mm | max |dRp| mm | max |dR50| mm | max |fit Rp - Rp| mm |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    Worst overall[6];
    double worstTangent = 0.0;
    for (const double fineStep : {1.0, 2.0}) {
        for (const fit::ClinicalCase& c : fit::clinicalTestSet(fineStep)) {
            const fit::MeasuredCurve fine = fit::measuredDose(c);
            const beamdata::BeamQuality reference = beamdata::beamQuality(fine.depthMm, fine.dose);
            if (fineStep == 1.0) {
                const double tangentRp = fit::localTangentPracticalRangeMm(
                    percentOf(fine), reference.background.interceptPercent, reference.background.slopePerMm);
                worstTangent = std::max(worstTangent, std::fabs(reference.rpMm - tangentRp));
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
                std::printf("| %s | %.0f | %.0f | %.2f | %.2f | %.2f |\n", c.name, fineStep, coarseStep, w.rp, w.r50,
                            w.fitRp);
                Worst& o = overall[static_cast<int>(coarseStep)];
                o.rp = std::max(o.rp, w.rp);
                o.r50 = std::max(o.r50, w.r50);
                o.fitRp = std::max(o.fitRp, w.fitRp);
            }
        }
    }
    std::printf("\n| coarse step mm | max |dRp| mm | max |dR50| mm | max |fit Rp - Rp| mm |\n|---:|---:|---:|---:|\n");
    for (int step = 3; step <= 5; ++step)
        std::printf("| %d | %.2f | %.2f | %.2f |\n", step, overall[step].rp, overall[step].r50, overall[step].fitRp);
    std::printf("\nOn 1 mm steps, max |Rp - local tangent Rp|: %.2f mm\n", worstTangent);
    return 0;
}
