#pragma once
// What orvalis-fit prints and writes: progress lines that the front end follows, the result as
// readable text followed by machine-readable lines, and the fitted curve in the depth-dose result
// layout so that the comparison window can load it like a simulator result.
#include "fit/spectrum_fit.h"

#include <optional>
#include <string>

namespace fit {

// "PROGRESS <stage> <done> <total>", e.g. "PROGRESS basis 37 112".
std::string progressLine(const std::string& stage, int done, int total);

// The readable report: parameters on the 0.1 grid and continuous, rms residual, the fitted depths,
// and R90/R80/R50/R10 of measurement and model with their differences.
std::string reportText(const FitResult& result, MaxEnergyMode mode);

// Lines "RESULT grid alpha=8.0 beta=2.0 emax=9.4 rms=0.512" and "RESULT continuous ..." (also
// "RESULT R50 measured=... grid=... continuous=..." per level), one record each; beamdata's fit
// protocol writes and parses them.
std::string resultLines(const FitResult& result);

// The model curve of `point` as a depth-dose result file (127 lines, CR LF): header with the
// maximum energy and the titles "fit alpha=8.0" and "beta=2.0", the history count of the basis,
// then the 125 slabs.
std::string fittedCurveFileText(const FitPoint& point, double basisHistories);

}  // namespace fit
