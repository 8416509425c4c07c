#pragma once
// The fluence file's spectrum as the spectrum display draws it (the file, its reader and its writer:
// beamdata/fluence_file.h).
#include "beamdata/fluence_file.h"

#include <vector>

namespace orvalis::viewers {

// Chart point of a loaded point: energy as read, fluence scaled so that fluenceMax is drawn at 100.
struct ChartPoint {
    double x;
    double y;
};
std::vector<ChartPoint> fluenceChartPoints(const std::vector<beamdata::FluencePoint>& points, double fluenceMax);

}  // namespace orvalis::viewers
