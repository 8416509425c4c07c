#pragma once
// A picture of the measured depth dose against the fitted model curve (PNG by the file's suffix),
// painted with Qt's raster engine: measured in blue, fitted in green dashed, the fitted depths shaded.
#include "fit/measured_data.h"
#include "fit/spectrum_fit.h"

#include <filesystem>

namespace fit {

bool writeFitPlot(const std::filesystem::path& file, const MeasuredCurve& measured, const FitResult& result);

}  // namespace fit
