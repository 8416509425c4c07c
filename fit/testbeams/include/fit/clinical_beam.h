#pragma once
// Depth doses shaped like those of clinical electron beams measured in a water tank, for testing and
// benchmarking the fit (never used by the fit itself). A clinical beam is not this engine's beam:
// full physics (bremsstrahlung, energy straggling, delta rays) broadens the fall-off and changes the
// build-up; the beam has an energy spread and a low-energy tail from scatter in foils, chambers and
// applicators; its field diverges from a virtual source; a small field loses lateral scatter
// equilibrium near the end of the electrons' range; and photons from the head and the phantom add a
// background that is all that is left beyond the practical range.
//
// The electrons are summed from monoenergetic full-physics shapes of infinitely broad parallel beams
// (surface dose, d_max, R90, R80, R50, R10 and Rp per energy, computed with a full-physics code),
// each multiplied by the on-axis fraction of a square field from Fermi-Eyges multiple scattering,
// the whole by the inverse square of the distance from the virtual source.
#include "fit/axis_basis.h"
#include "fit/measured_data.h"

#include <cstdint>
#include <string>

namespace fit {

struct ClinicalBeam {
    double peakMeV = 9.0;        // most probable energy at the surface
    double spread = 0.04;        // relative standard deviation of the peak
    double tailFraction = 0.10;  // electrons in the low-energy tail
    double tailLowest = 0.3;     // the tail starts at this fraction of the peak energy ...
    double tailRise = 0.0;       // ... and its density grows as (E / peak)^tailRise up to the peak
    // Scatter from foils and applicator raises the surface dose of a clinical beam above that of a
    // broad parallel beam: this fraction of the gap between the latter and 100 % is closed.
    double surfaceLift = 0.5;
    double fieldCm = 0.0;           // side of the square field at the surface; 0: infinitely broad
    double sourceDistanceCm = 0.0;  // virtual source to surface; 0: a parallel beam
};

// The photon background, relative to the electrons' maximum: `atRpPercent` at the practical range,
// falling beyond it by `slopePerMm` (relative, per mm, like the attenuation of a few-MeV photon
// beam), and built up towards the surface: at depth z the factor (1 - buildUp exp(-z / (0.3 Rp))),
// since the photons made in the phantom grow along the electrons' track and those of the head have
// their own build-up. buildUp 0 gives a straight line under the whole curve.
struct PhotonBackground {
    double atRpPercent = 0.0;
    double slopePerMm = 0.003;
    double buildUp = 0.0;
};

// One monoenergetic full-physics shape at a depth (mm), largest 1, without the photon tail.
double monoenergeticDose(double energyMeV, double depthMm, double surfaceLift = 0.0);

// The electrons' depth dose of a beam (largest 1) at 0.25 mm steps from the surface to `lastMm`.
struct FineCurve {
    double stepMm = 0.25;
    std::vector<double> dose;  // dose[k] at k x stepMm
    double at(double depthMm) const;
};
FineCurve clinicalElectronDose(const ClinicalBeam& beam, double lastMm);

// Its 1 mm slabs as a simulator result holds them (largest 1), the electrons only.
DepthCurve clinicalDepthDose(const ClinicalBeam& beam);

// How the beam is measured.
struct TankScan {
    double firstDepthMm = 1.0;
    double buildUpStepMm = 1.0;  // up to the depth of the maximum
    double stepMm = 2.0;         // beyond it
    double beyondRpMm = 20.0;    // the scan ends this far beyond the practical range
    double noisePercent = 0.3;   // Gaussian, of the local reading, with a floor of 0.05 % of the maximum
    bool ionisation = false;     // a chamber's reading: dose over the water-to-air stopping-power ratio
    std::uint64_t seed = 1;
};

struct TankMeasurement {
    MeasuredCurve curve;  // readings in percent of their maximum
    double practicalRangeMm = 0.0;
    double r50Mm = 0.0;  // of the dose, before noise
};
TankMeasurement measureClinicalBeam(const ClinicalBeam& beam, const PhotonBackground& photons, const TankScan& scan);

}  // namespace fit
