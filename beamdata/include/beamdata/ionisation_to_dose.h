#pragma once
// A depth-ionisation curve of an ionisation chamber turned into a depth-dose curve: R50 from the
// depth I50 where the ionisation falls to half its maximum, then every point multiplied by the
// water-to-air stopping-power ratio at its depth for that R50, and the curve renormalised to its
// maximum.
#include <optional>

#include "beamdata/depth_scan.h"

namespace beamdata {

// Water-to-air stopping-power ratio of a clinical electron beam at a depth, both in cm (the
// depth-dependent fit of Burns, Ding and Rogers). The fit holds for R50 from 1 to 19 cm and depths
// from 0.02 to 1.2 R50; outside, the ratio at the nearer end is used.
double stoppingPowerRatioWaterAir(double depthCm, double r50Cm);

// R50 of the dose from I50 of the ionisation, both in cm: 1.029 I50 - 0.06 up to 10 cm,
// 1.059 I50 - 0.37 above.
double r50FromI50Cm(double i50Cm);

// How the detection of the file is used: as detected, or overridden by the user.
enum class QuantityChoice { AsDetected, Ionisation, Dose };

struct DoseConversion {
    DepthScan curve;     // the dose curve, in percent of its maximum when converted
    double i50Mm = 0.0;  // of the ionisation (NaN when the curve never falls to half)
    double r50Mm = 0.0;  // the R50 the stopping-power ratios were taken for
};

// The ionisation curve converted to dose (R50 from I50, ratios applied, once more with the R50 of
// the converted curve, renormalised). Empty when the curve does not fall through 50 %.
std::optional<DoseConversion> ionisationToDose(const DepthScan& ionisation);

// The depth-dose curve of a scan: converted when it holds ionisation (as detected or as chosen),
// unchanged otherwise. Throws engine::RunError when an ionisation curve cannot be converted.
DepthScan depthDoseOf(const DepthScan& scan, QuantityChoice choice, const std::string& fileName);

}  // namespace beamdata
