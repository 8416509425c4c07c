#include "viewers/fluence_file.h"

namespace orvalis::viewers {

std::vector<ChartPoint> fluenceChartPoints(const std::vector<beamdata::FluencePoint>& points, double fluenceMax) {
    std::vector<ChartPoint> chart;
    if (!(fluenceMax > 0.0)) return chart;
    chart.reserve(points.size());
    // Divided first: the share of the largest fluence cannot overflow, however large the fluences.
    for (const beamdata::FluencePoint& point : points)
        chart.push_back({point.energyMeV, point.fluence / fluenceMax * 100.0});
    return chart;
}

}  // namespace orvalis::viewers
