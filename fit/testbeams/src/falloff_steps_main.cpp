// fit-falloff-steps: how far Rp and R50 of the beam-quality figures move when the clinical-like test
// beams, scanned at 1 or 2 mm, are thinned to 3, 4 and 5 mm (every phase of the thinning), and how
// far the fit's practical range lies from the table's Rp. Writes one table row per beam and step (the
// worst over the noise seeds), then the worst per step.
//
//   fit-falloff-steps [--seeds N] [--noise FACTOR] [--end r10]
// --seeds N measures every beam N times with fresh noise (the test set's own seed first);
// --noise FACTOR scales the noise of the readings (0: none); --end r10 stops every scan at its first
// reading at or below 10 % beyond the maximum, as a tank scan that ends at R10 (no tail).
//   fit-falloff-steps --derive
// prints the lines of the fall-off's shape against R50 that beamdata/fall_off.cpp holds a sparsely
// scanned fall-off to, from beams that are not the test set.
#include "beamdata/beam_quality.h"
#include "beamdata/fall_off.h"
#include "beamdata/range_levels.h"
#include "fit/measured_data.h"
#include "fit/test_curves.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

// The shape of the fall-off against R50 on beams that are not the test set: 5 to 22 MeV, other
// spreads, tails, fields and backgrounds, scanned at 0.5 mm without noise. Prints the fitted shape of
// each and the least-squares lines of the shallow width, the deep-to-shallow ratio and the plateau
// (amplitude plus background at the centre) against R50.
void deriveShape() {
    struct Sums {
        double n = 0, x = 0, y = 0, xx = 0, xy = 0, yy = 0;
        void add(double a, double b) { n += 1, x += a, y += b, xx += a * a, xy += a * b, yy += b * b; }
        void print(const char* what) const {
            const double slope = (n * xy - x * y) / (n * xx - x * x), intercept = (y - slope * x) / n;
            const double rss = yy - intercept * y - slope * xy;
            std::printf("%s = %.5f + %.6f x R50 (residual sd %.4f, %.0f beams)\n", what, intercept, slope,
                        std::sqrt(std::max(0.0, rss) / (n - 2)), n);
        }
    } shallow, ratio, plateau;
    struct Shape {
        double r50, shallow, ratio, plateau;
    };
    std::vector<Shape> shapes;
    std::printf("| MeV | spread | tail | field cm | R50 mm | shallow mm | deep/shallow | plateau %% |\n");
    int k = 0;
    for (const double peak : {5.0, 7.0, 8.0, 10.0, 11.0, 13.0, 14.0, 15.0, 17.0, 18.0, 19.0, 21.0, 22.0}) {
        for (int variant = 0; variant < 4; ++variant, ++k) {
            fit::ClinicalBeam beam;
            beam.peakMeV = peak;
            beam.spread = 0.03 + 0.01 * ((k * 7) % 4);
            beam.tailFraction = 0.05 + 0.03 * ((k * 5) % 4);
            beam.tailLowest = 0.25 + 0.05 * (k % 3);
            beam.tailRise = static_cast<double>(k % 3);
            beam.surfaceLift = 0.4 + 0.1 * (k % 3);
            beam.fieldCm = variant == 3 ? 25.0 : 10.0 + 5.0 * variant;
            beam.sourceDistanceCm = 90.0 + 5.0 * (k % 3);
            fit::PhotonBackground photons;
            photons.atRpPercent = 0.3 + 0.22 * peak;
            photons.buildUp = 0.2 * (k % 4);
            fit::TankScan scan;
            scan.stepMm = 0.5;
            scan.buildUpStepMm = 0.5;
            scan.noisePercent = 0.0;
            scan.beyondRpMm = 30.0;
            const fit::MeasuredCurve c = fit::measureClinicalBeam(beam, photons, scan).curve;
            const auto f = beamdata::fallOffOfCurve(c.depthMm, c.dose);
            if (!f) continue;
            const double r50 = beamdata::levelDepthMm(c.depthMm, c.dose, 0.5);
            const beamdata::FallOffModel& m = f->model;
            const double top = m.amplitudePercent + f->background.atMm(m.centreMm);
            std::printf("| %.0f | %.2f | %.2f | %.0f | %.2f | %.3f | %.3f | %.2f |\n", peak, beam.spread,
                        beam.tailFraction, beam.fieldCm, r50, m.shallowWidthMm, m.deepWidthMm / m.shallowWidthMm, top);
            shallow.add(r50, m.shallowWidthMm);
            ratio.add(r50, m.deepWidthMm / m.shallowWidthMm);
            plateau.add(r50, top);
            shapes.push_back({r50, m.shallowWidthMm, m.deepWidthMm / m.shallowWidthMm, top});
        }
    }
    shallow.print("shallow width mm");
    ratio.print("deep/shallow");
    plateau.print("plateau %");
    // The three scatter together (a wider spread shortens the shoulder, lengthens the toe and lowers
    // the plateau): their covariance about the lines, and the inverse of its Cholesky factor, which
    // turns the three departures from the lines into independent ones of unit scatter.
    const Sums* lines[3] = {&shallow, &ratio, &plateau};
    double line[3][2];
    for (int j = 0; j < 3; ++j) {
        const Sums& l = *lines[j];
        line[j][1] = (l.n * l.xy - l.x * l.y) / (l.n * l.xx - l.x * l.x);
        line[j][0] = (l.y - line[j][1] * l.x) / l.n;
    }
    double c[3][3] = {};
    for (const Shape& s : shapes) {
        const double d[3] = {s.shallow - line[0][0] - line[0][1] * s.r50, s.ratio - line[1][0] - line[1][1] * s.r50,
                             s.plateau - line[2][0] - line[2][1] * s.r50};
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) c[a][b] += d[a] * d[b] / static_cast<double>(shapes.size() - 2);
    }
    double l[3][3] = {}, w[3][3] = {};
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b <= a; ++b) {
            double sum = c[a][b];
            for (int k = 0; k < b; ++k) sum -= l[a][k] * l[b][k];
            l[a][b] = a == b ? std::sqrt(sum) : sum / l[b][b];
        }
    for (int a = 0; a < 3; ++a) {
        w[a][a] = 1.0 / l[a][a];
        for (int b = 0; b < a; ++b) {
            double sum = 0.0;
            for (int k = b; k < a; ++k) sum -= l[a][k] * w[k][b];
            w[a][b] = sum / l[a][a];
        }
    }
    std::printf("correlation: shallow-ratio %.3f, shallow-plateau %.3f, ratio-plateau %.3f\n",
                c[0][1] / std::sqrt(c[0][0] * c[1][1]), c[0][2] / std::sqrt(c[0][0] * c[2][2]),
                c[1][2] / std::sqrt(c[1][1] * c[2][2]));
    std::printf("whitening rows: {%.6g, 0, 0}, {%.6g, %.6g, 0}, {%.6g, %.6g, %.6g}\n", w[0][0], w[1][0], w[1][1],
                w[2][0], w[2][1], w[2][2]);
}

}  // namespace

int main(int argc, char** argv) {
    int seeds = 1;
    double noise = 1.0;
    bool endAtR10 = false;
    if (argc == 2 && std::strcmp(argv[1], "--derive") == 0) {
        deriveShape();
        return 0;
    }
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--seeds") == 0)
            seeds = std::max(1, std::atoi(argv[a + 1]));
        else if (std::strcmp(argv[a], "--noise") == 0)
            noise = std::atof(argv[a + 1]);
        else if (std::strcmp(argv[a], "--end") == 0)
            endAtR10 = std::strcmp(argv[a + 1], "r10") == 0;
    }
    std::printf("%d noise seed(s), noise x %.2f%s\n\n", seeds, noise, endAtR10 ? ", scans ending at R10" : "");
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
                const fit::MeasuredCurve fine = endAtR10 ? fit::endingAtR10(fit::measuredDose(c))
                                                         : fit::measuredDose(c);
                const beamdata::BeamQuality reference = beamdata::beamQuality(fine.depthMm, fine.dose);
                fit::ClinicalCase quiet = c;
                quiet.scan.noisePercent = 0.0;
                const fit::MeasuredCurve clean = endAtR10 ? fit::endingAtR10(fit::measuredDose(quiet))
                                                          : fit::measuredDose(quiet);
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
