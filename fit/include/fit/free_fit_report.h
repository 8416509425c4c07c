#pragma once
// What orvalis-fit prints for the free-form fit: a readable table, then the machine-readable lines
//   RESULT free rms=0.412 emax=11.2 mean=8.731 peak=9.184 background=1.850 smooth=3.1623e-04
//   RESULT R90 measured=26.310 free=26.402 window=26.455   (and R80, R50, R10)
// and, side by side with that writer, the one parser of those lines for the front end.
#include "fit/free_spectrum_fit.h"

#include <array>
#include <optional>
#include <string>

namespace fit {

std::string freeReportText(const FreeFitResult& result);

std::string freeResultLines(const FreeFitResult& result);

struct FreeResultLevel {
    double measuredMm = 0.0;  // NaN where the curve never falls through the level
    double freeMm = 0.0;
    double windowMm = 0.0;
};

struct FreeResultSummary {
    double rmsPercent = 0.0;
    double maxEnergyMeV = 0.0;
    double meanEnergyMeV = 0.0;
    double peakEnergyMeV = 0.0;
    double backgroundPercent = 0.0;
    double smooth = 0.0;
    std::array<FreeResultLevel, 4> levels{};  // R90, R80, R50, R10
};

// One "RESULT free ..." line into `summary` (levels untouched); false for any other line.
bool parseFreeSummaryLine(const std::string& line, FreeResultSummary& summary);
// One "RESULT R<level> measured=.. free=.. window=.." line into its row; false for any other line
// (the Beta fit's level lines included).
bool parseFreeLevelLine(const std::string& line, FreeResultSummary& summary);

// The whole output of a run: empty unless it holds the summary line and all four level lines.
std::optional<FreeResultSummary> parseFreeResult(const std::string& output);

// The model curve (electrons and background) as a depth-dose result file, largest slab 1, titled
// "free-form fit" and with the background.
std::string freeFittedCurveFileText(const FreeFitResult& result, double basisHistories);

}  // namespace fit
