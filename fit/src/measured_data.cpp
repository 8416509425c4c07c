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

MeasuredCurve readMeasuredCurve(const std::filesystem::path& path, std::optional<int> scan,
                                beamdata::QuantityChoice quantity) {
    const beamdata::MeasuredFile file = beamdata::readMeasuredFile(path);
    beamdata::DepthScan dose = beamdata::depthDoseOf(beamdata::chooseScan(file, scan), quantity, file.fileName);
    return {std::move(dose.depthMm), std::move(dose.value)};
}

std::optional<double> practicalRangeMm(const MeasuredCurve& curve) {
    const std::optional<beamdata::FallOff> f = beamdata::fallOffOfCurve(curve.depthMm, curve.dose);
    if (!f) return std::nullopt;
    return f->rpMm;
}

}  // namespace fit
