#pragma once
// Beam-quality figures of a depth-dose curve: d_max, R90, R80, R50, R10 and the practical range Rp,
// for validating the simulated curves against full-physics references.
#include <string>
#include <vector>

namespace tools {

// A depth dose in water: depths in mm (increasing), dose in any positive unit.
struct DepthDoseCurve {
    std::vector<double> depthMm;
    std::vector<double> dose;
};

// Reads a depth-dose result file of the simulator: two heading lines, then 125 records of the depth
// label (mm, the deeper face of a 1 mm slab) and the relative dose. Only the slabs in water
// (labels >= 1) are kept, each placed at its centre, label - 0.5 mm. Throws engine::RunError.
DepthDoseCurve readDepthDoseResult(const std::string& path);

struct DepthDoseFigures {
    double doseMaximumDepthMm = 0.0;  // d_max
    double peakDose = 0.0;            // the value the curve is normalised to
    double r90Mm = 0.0;
    double r80Mm = 0.0;
    double r50Mm = 0.0;
    double r10Mm = 0.0;
    double practicalRangeMm = 0.0;       // Rp
    double steepestGradientPerMm = 0.0;  // percent of the peak per mm, positive on the fall-off
};

// Depth (mm) beyond the maximum where the curve, relative to peakDose, falls through `level`
// (a fraction): the deepest record still above it and its deeper neighbour, linearly interpolated.
double depthAtLevel(const DepthDoseCurve& curve, double peakDose, double level);

// d_max and the peak from a parabola fitted symmetrically about the peak over the records within 3 %
// of it (robust to the statistical noise of a single record); R-values by depthAtLevel; Rp and the
// steepest slope from the fall-off's one owner (beamdata/fall_off.h), the tangent at the steepest
// point meeting the background (none for this engine).
DepthDoseFigures analyseDepthDose(const DepthDoseCurve& curve);

}  // namespace tools
