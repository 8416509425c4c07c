#pragma once
// The spectrum fit as the comparison window runs it: the arguments of the orvalis-fit program,
// its progress and result lines, the fitted curve read back and drawn dashed, and the scroll-bar
// values of the fitted parameters. Plain C++; the window only wires it to a process and widgets.
#include <optional>
#include <string>
#include <vector>

#include "common/segment_clip.h"
#include "viewers/pdd_comparison.h"

namespace orvalis::viewers {

inline constexpr const char* FIT_PROGRAM_NAME = "orvalis-fit";

// The two spectrum models of the fit: alpha and beta of a Beta spectrum, or one free weight per bin
// of the exchange file with a bremsstrahlung background.
enum class FitModel { Beta, Free };

// Which model the fit takes and how it starts its maximum energy.
struct FitRequest {
    std::string measuredPath;
    std::string curvePath;                          // where the fitted curve is written (depth-dose layout)
    std::optional<double> maxEnergyMeV;             // empty: from the practical range of the measurement
    bool fixedMaxEnergy = false;                    // fit alpha and beta only (needs maxEnergyMeV)
    double spanPercent = 10.0;                      // how far a free maximum energy may move, +- percent
    std::optional<int> scan = std::nullopt;         // which depth curve of a water-tank file (from 1)
    std::optional<bool> ionisation = std::nullopt;  // the window's override of the file's detector
    bool depthsInCm = false;                        // the window reads the file's depths as cm
    FitModel model = FitModel::Beta;  // the free-form bins keep their maximum energy: no span, never fixed
};
std::vector<std::string> fitArguments(const FitRequest& request);

// "PROGRESS <stage> <done> <total>" as a percentage of the whole run: the basis (when simulated)
// takes 0-90 %, the scan of the energies 90-98 %, the refinement the rest; the free-form fit
// itself the last 10 %.
std::optional<int> fitProgressPercent(const std::string& line);

struct FittedSpectrum {
    double alpha = 0.0;
    double beta = 0.0;
    double maxEnergyMeV = 0.0;
    double rmsPercent = 0.0;
};
// "RESULT grid alpha=8.0 beta=2.0 emax=9.4 rms=0.512": the parameters on the scroll bars' grid.
std::optional<FittedSpectrum> parseFitResult(const std::string& line);

// "RESULT R50 measured=30.54 grid=30.42 continuous=30.45": a level of measurement and fitted model.
struct FittedLevel {
    std::string name;  // "R90", "R80", "R50" or "R10"
    double measuredMm = 0.0;
    double fittedMm = 0.0;
};
std::optional<FittedLevel> parseFitLevel(const std::string& line);

// The fitted curve file read like a calculated file; the curve points as the calculated curve is
// drawn. Empty when the file cannot be read.
std::optional<std::vector<PlotPoint>> fittedCurvePoints(const std::string& fileText);

struct PlotSegment {
    PlotPoint from;
    PlotPoint to;
};
// A polyline cut into dashes: `onPx` drawn, `offPx` left out, measured along the line in pixels
// given the plot's units per pixel in x and y. Only the parts inside `visible` (plot units) are
// cut, the pattern running on over the parts outside, so the number of dashes is bounded by the
// frame: at most (points - 1) x (the frame's diagonal / the pattern's length + 1), whatever the
// values. Segments with a coordinate that is not finite are left out.
std::vector<PlotSegment> dashedSegments(const std::vector<PlotPoint>& points, double xUnitsPerPx, double yUnitsPerPx,
                                        double onPx, double offPx, const ClipRect& visible);

}  // namespace orvalis::viewers
