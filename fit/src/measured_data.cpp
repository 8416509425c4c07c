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

MeasuredCurve readCurve(const std::filesystem::path& path, std::optional<int> scan, beamdata::QuantityChoice quantity,
                        beamdata::DepthUnit unit, bool fittable) {
    const beamdata::MeasuredFile file = beamdata::readMeasuredFile(path);
    beamdata::DepthScan chosen = beamdata::chooseScan(file, scan);
    beamdata::applyDepthUnit(chosen, unit);
    if (fittable)
        if (const auto refusal = beamdata::curveRefusal(chosen.depthMm, chosen.value, unit))
            throw engine::RunError(beamdata::refusalMessage(file.fileName,
                                                            file.depthScans.size() > 1 ? scan : std::nullopt, *refusal,
                                                            "give --depth-unit cm if they are"));
    beamdata::DepthScan dose = beamdata::depthDoseOf(chosen, quantity, file.fileName);
    return {std::move(dose.depthMm), std::move(dose.value)};
}

}  // namespace

MeasuredCurve readMeasuredCurve(const std::filesystem::path& path, std::optional<int> scan,
                                beamdata::QuantityChoice quantity, beamdata::DepthUnit unit) {
    return readCurve(path, scan, quantity, unit, false);
}

MeasuredCurve readFittableCurve(const std::filesystem::path& path, std::optional<int> scan,
                                beamdata::QuantityChoice quantity, beamdata::DepthUnit unit) {
    return readCurve(path, scan, quantity, unit, true);
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
