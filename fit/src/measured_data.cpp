#include "fit/measured_data.h"

#include "beamdata/fall_off.h"
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
    const std::optional<beamdata::FallOff> f = beamdata::fallOffOfCurve(curve.depthMm, curve.dose);
    if (!f) return std::nullopt;
    return f->rpMm;
}

}  // namespace fit
