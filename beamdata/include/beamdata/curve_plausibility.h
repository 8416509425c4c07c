#pragma once
// Whether a measured depth curve can be an electron depth dose in mm at all, before anything is
// fitted or analysed: a curve that cannot be one would otherwise give figures and spectra that look
// like results (a 0.75 MeV beam from depths written in cm, a fit to two peaks). The answer is a
// reason, not an exception, so that a caller may refuse the file, skip the curve in a list, or ask
// the user for the unit.
#include <optional>
#include <span>
#include <string>

#include "beamdata/depth_scan.h"

namespace beamdata {

enum class DepthUnit { Mm, Cm };

constexpr std::size_t PLAUSIBLE_POINTS_MIN = 5;
// Depths in cm: every depth and the fall-off below this number (an electron curve in mm reaches
// beyond 15 mm before its dose has fallen far).
constexpr double CM_DEPTHS_BELOW = 15.0;
// A dose that falls below this percentage of the maximum before it has left the peak behind.
constexpr double FALL_OFF_PERCENT = 50.0;

enum class Implausibility { TooFewPoints, DepthsLookLikeCm, SecondMaximum };

struct CurveRefusal {
    Implausibility kind;
    std::string reason;  // "depths look like cm (...)", without the file's name
};

// Why the curve (depths increasing, values in any positive unit) is not a measured depth dose in mm,
// or nothing when it may be one. `unit` is the unit the user declared: depths declared in cm
// (already converted to mm) are not questioned again.
std::optional<CurveRefusal> curveRefusal(std::span<const double> depthMm, std::span<const double> value,
                                         DepthUnit unit = DepthUnit::Mm);

// The depths of a scan in mm, from the unit the user declared.
void applyDepthUnit(DepthScan& scan, DepthUnit unit);

// "<file>: <reason>", or "<file>, depth curve <n>: <reason>" for one of several curves; a curve
// whose depths look like cm gets `cmHint` (how to declare them) appended after "; ".
std::string refusalMessage(const std::string& fileName, std::optional<int> scan, const CurveRefusal& refusal,
                           const std::string& cmHint);

// "--depth-unit mm|cm" as a program's option value; nothing for another word.
std::optional<DepthUnit> depthUnitFromWord(const std::string& word);

}  // namespace beamdata
