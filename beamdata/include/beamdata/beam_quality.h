#pragma once
// Beam-quality figures of an electron depth-dose curve, measured or calculated: R100 (d_max), R90,
// R80, R50, the practical range Rp, Rq, the dose gradient G, the surface dose Ds, the background
// Dx, the mean and most probable energies at the surface E0 and Ep,0, and the reference depth.
// Depths in mm, doses in percent of the curve's largest point (as the comparison window
// normalises), energies in MeV. A figure that the curve does not allow is NaN. Rp, Rq, Dx and the
// R80 and R50 of the fall-off come from its one owner, beamdata/fall_off.h.
#include <span>
#include <string>

#include "beamdata/fall_off.h"

namespace beamdata {

struct BeamQuality {
    double r100Mm, r90Mm, r80Mm, r50Mm;
    double rpMm, rqMm;
    double gradient;               // G = Rp / (Rp - Rq)
    double surfaceDosePercent;     // Ds at 0.5 mm
    double backgroundPercent;      // Dx, the background at Rp
    double meanEnergyMeV;          // E0
    double mostProbableEnergyMeV;  // Ep,0
    double referenceDepthMm;       // z_ref
    Tangent tangent;
    Background background;
};

// The figures of a curve of increasing depths (mm) and values in any positive unit.
BeamQuality beamQuality(std::span<const double> depthMm, std::span<const double> value);

// The relations for water, by their formulas: E0 = 2.33 MeV/cm x R50; Ep,0 = 0.22 + 1.98 Rp +
// 0.0025 Rp^2 (MeV, Rp in cm); z_ref = 0.6 R50 - 0.1 cm. Arguments and the depth in mm.
double meanEnergyMeV(double r50Mm);
double mostProbableEnergyMeV(double rpMm);
double referenceDepthMm(double r50Mm);

// The figures in the order of the QUALITY line, with their names and units.
struct QualityFigure {
    const char* name;  // "R100", ..., "zref"
    const char* unit;  // "mm", "%", "MeV" or "" (G)
    double BeamQuality::*value;
};
extern const QualityFigure QUALITY_FIGURES[12];

// "R100=23.10 R90=29.21 ... zref=21.00": depths and doses with two decimals, G with three;
// E0, Ep0 and zref computed from R50 and Rp as printed, so that they can be checked from the
// line; NaN as "-".
std::string qualityFields(const BeamQuality& quality);

}  // namespace beamdata
