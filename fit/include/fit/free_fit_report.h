#pragma once
// What orvalis-fit prints for the free-form fit: a readable table, then the machine-readable lines
//   RESULT free rms=0.412 emax=11.2 mean=8.731 peak=9.184 background=1.850 smooth=3.1623e-04
//   RESULT spectrum weights=...   RESULT run-spectrum weights=...   [RESULT no-background reason=...]
//   RESULT R90 measured=26.310 free=26.402 window=26.455   (and R80, R50, R10)
// written, and parsed for the front end, by beamdata's fit protocol.
#include "fit/free_spectrum_fit.h"

#include <array>
#include <optional>
#include <string>

namespace fit {

std::string freeReportText(const FreeFitResult& result);

// `run` is the fit whose spectrum the simulators are to run ("RESULT run-spectrum": the result
// itself, or its refit without the background); `whyNoBackground`, when not empty, is written as
// "RESULT no-background".
std::string freeResultLines(const FreeFitResult& result, const FreeFitResult& run,
                            const std::string& whyNoBackground = {});

// The model curve (electrons and background) as a depth-dose result file, largest slab 1, titled
// "free-form fit" and with the background.
std::string freeFittedCurveFileText(const FreeFitResult& result, double basisHistories);

}  // namespace fit
