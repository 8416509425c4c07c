#pragma once
// Reading a fluence file (the spectrum a depth-dose run simulated): a title line, a heading line,
// then pairs of energy (MeV) and fluence in free format, at most 100 of them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis::viewers {

constexpr int FLUENCE_POINTS_MAX = 100;

enum class FluenceError {
    Unreadable,     // missing lines, a field that is no number, or a fluence below minus the largest
    TooManyPoints,  // more than 100 data lines
    AllZero,        // no fluence above 0: the curve could not be scaled to 100
};

struct FluencePoint {
    double energyMeV;
    double fluence;
};

struct FluenceSpectrum {
    std::string titleLine;             // line 1 as stored, trailing blanks included
    std::vector<FluencePoint> points;  // in file order, 1 to 100 of them
    double fluenceMax = 0.0;           // largest fluence of the file
};

struct FluenceRead {
    std::optional<FluenceSpectrum> spectrum;
    FluenceError error = FluenceError::Unreadable;  // meaningful when spectrum is empty
};

FluenceRead readFluenceFile(std::string_view text);

// Chart point of a loaded point: energy as read, fluence scaled so that fluenceMax is drawn at 100.
struct ChartPoint {
    double x;
    double y;
};
std::vector<ChartPoint> fluenceChartPoints(const std::vector<FluencePoint>& points, double fluenceMax);

}  // namespace orvalis::viewers
