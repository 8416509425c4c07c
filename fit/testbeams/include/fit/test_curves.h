#pragma once
// Realistic test measurements for the fit, made by this system's own means: simulator depth doses
// resampled at coarse steps with a bremsstrahlung background and measurement noise, and spectra the
// Beta model cannot shape (clinical-like beams of full-physics shapes are in fit/clinical_beam.h).
// Used by the benchmark and the tests, never by the fit.
#include "fit/axis_basis.h"
#include "fit/clinical_beam.h"
#include "fit/measured_data.h"

#include <array>
#include <cstdint>
#include <vector>

namespace fit {

// Relative weights (largest 1) of bins 1..100 of spectra that the Beta model cannot shape.
// A Beta spectrum with a flat low-energy part at `plateau` of its peak, from the lowest bin up to
// the peak.
std::array<double, 100> betaWithPlateau(double alpha, double beta, double plateau);
// Two Gaussian peaks at fractions x1 and x2 of Emax, widths sigma (fraction of Emax), the second
// `ratio` times as high as the first.
std::array<double, 100> twoPeaks(double x1, double x2, double sigma, double ratio);

struct MeasurementMaking {
    double stepMm = 2.0;                   // between records; up to 2 mm: 1 mm through the fall-off
    double lastDepthMm = 0.0;              // 0: 1.3 x Rp plus 10 mm
    double backgroundPercent = 0.0;        // at Rp, % of the electrons' maximum
    double backgroundSlopePerMm = -0.003;  // relative change of the background per mm of depth
    double noisePercent = 0.0;             // Gaussian, % of the local dose
    bool photonBuildUp = false;            // the background built up under the surface as the fit models it
    std::uint64_t seed = 1;
};

// A simulator result (relative dose per 1 mm slab at its label depth) as a measurement.
MeasuredCurve measurementFromResult(const DepthCurve& relative, const MeasurementMaking& making);

// measurementFromResult's output written in the measured-file layout ("depth (mm), dose" header).
std::string measuredFileText(const MeasuredCurve& curve, const std::string& heading);

}  // namespace fit

namespace fit {

// The clinical-like beams of bench/fit-accuracy.sh (6 to 20 MeV, 10 x 10 and 15 x 15 cm, tails,
// photon backgrounds, noise, chamber and diode readings), each scanned at `stepMm` beyond the
// maximum and 1 mm in the build-up. A chamber's reading is ionisation; turn it into dose before
// reading its figures.
struct ClinicalCase {
    const char* name;
    ClinicalBeam beam;
    PhotonBackground photons;
    TankScan scan;
};
std::vector<ClinicalCase> clinicalTestSet(double stepMm);

// The case measured, as dose: a chamber's reading converted as the measured-file reader converts it.
// Empty when a chamber's reading cannot be converted.
MeasuredCurve measuredDose(const ClinicalCase& c);

// Every `factor`-th point of a curve from point `phase` on: a coarser scan of the same beam.
MeasuredCurve thinnedCurve(const MeasuredCurve& fine, std::size_t factor, std::size_t phase);

// The same scan stopped where a tank scan that ends at R10 stops: at its first reading at or below
// 10 % of the maximum beyond it, with no tail and so no background to meet.
MeasuredCurve endingAtR10(const MeasuredCurve& curve);

}  // namespace fit

namespace fit {

// Rp by the local tangent construction on a finely scanned curve (doses in percent of the largest):
// at each point between 90 % and 15 % beyond the maximum, a least-squares cubic over the points
// within 3 mm, or 30 % of the 80-20 % fall-off, on each side; the steepest of these tangents, extended to the given
// background line. NaN when no point has three neighbours on each side within 3 mm.
double localTangentPracticalRangeMm(const MeasuredCurve& percent, double backgroundInterceptPercent,
                                    double backgroundSlopePerMm);

}  // namespace fit
