#pragma once
// The commissioning report as a PDF with real text: a summary page, one page per fitted beam
// (curves with residuals, spectrum with its band, level and beam-quality tables, provenance) and a
// page of the skipped curves that ends with the space for the physicist's signature.
#include <string>
#include <vector>

#include "commission/beam_result.h"

namespace commission {

// The PDF's bytes.
std::string paintCommissioningPdf(const RunInfo& run, const std::vector<BeamResult>& beams);

}  // namespace commission
