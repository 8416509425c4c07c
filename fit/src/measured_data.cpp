#include "fit/measured_data.h"

#include "beamdata/measured_curve_file.h"
#include "engine/record_io.h"
#include "engine/run_error.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace fit {

namespace {

constexpr double DEPTH_LIMIT_MM = 10000.0;

}  // namespace

MeasuredCurve readMeasuredCurve(const std::filesystem::path& path, std::optional<int> scan,
                                beamdata::QuantityChoice quantity) {
    const beamdata::MeasuredFile file = beamdata::readMeasuredFile(path);
    beamdata::DepthScan dose = beamdata::depthDoseOf(beamdata::chooseScan(file, scan), quantity, file.fileName);
    // No water phantom is ten metres deep, and noise may leave a small negative dose in the tail but
    // not one below minus the maximum: such values come from a damaged file, not a measurement.
    double largest = 0.0;
    for (const double value : dose.value) largest = std::max(largest, value);
    for (std::size_t i = 0; i < dose.depthMm.size(); ++i) {
        if (!(std::fabs(dose.depthMm[i]) <= DEPTH_LIMIT_MM))
            throw engine::RunError(file.fileName, 0, "a depth beyond 10 m is no measured depth in mm");
        if (dose.value[i] < -largest)
            throw engine::RunError(file.fileName, 0, "a dose below minus the largest dose is no measured dose");
    }
    return {std::move(dose.depthMm), std::move(dose.value)};
}

std::optional<double> practicalRangeMm(const MeasuredCurve& curve) {
    const auto peak = std::max_element(curve.dose.begin(), curve.dose.end());
    const auto first = static_cast<std::size_t>(peak - curve.dose.begin()) + 1;
    double steepest = 0.0;
    std::optional<double> range;
    for (std::size_t i = first; i + 1 < curve.dose.size(); ++i) {
        const double slope = (curve.dose[i - 1] - curve.dose[i + 1]) / (curve.depthMm[i + 1] - curve.depthMm[i - 1]);
        if (slope > steepest) {
            steepest = slope;
            range = curve.depthMm[i] + curve.dose[i] / slope;
        }
    }
    return range;
}

}  // namespace fit
