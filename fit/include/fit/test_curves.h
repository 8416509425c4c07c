#pragma once
// Realistic test measurements for the fit, made by this system's own means: simulator depth doses
// resampled at coarse steps with a bremsstrahlung background and measurement noise, and depth doses
// shaped like full-physics ones of broad clinical beams, built from the monoenergetic figures of a
// full-physics code (surface dose, d_max, R90, R80, R50, R10, Rp per energy) summed over a spectrum
// with spread and a low-energy tail. Used by the benchmark and the tests, never by the fit.
#include "fit/axis_basis.h"
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
    std::uint64_t seed = 1;
};

// A simulator result (relative dose per 1 mm slab at its label depth) as a measurement.
MeasuredCurve measurementFromResult(const DepthCurve& relative, const MeasurementMaking& making);

// A clinical-like beam: a Gaussian peak at peakMeV (relative spread sigma), plus a flat low-energy
// tail from 0.3 x peak up to the peak holding `tailFraction` of the electrons.
struct ClinicalBeam {
    double peakMeV = 9.0;
    double spread = 0.04;
    double tailFraction = 0.10;
    // Scatter from foils and applicator raises the surface dose of a clinical beam above that of a
    // broad parallel beam: this fraction of the gap between the latter and 100 % is closed.
    double surfaceLift = 0.5;
};
// Its depth dose (1 mm slabs, largest 1), from the monoenergetic full-physics shapes.
DepthCurve clinicalDepthDose(const ClinicalBeam& beam);
// One monoenergetic full-physics shape at a depth (mm), largest 1, without the photon tail.
double monoenergeticDose(double energyMeV, double depthMm, double surfaceLift = 0.0);

// measurementFromResult's output written in the measured-file layout ("depth (mm), dose" header).
std::string measuredFileText(const MeasuredCurve& curve, const std::string& heading);

}  // namespace fit
