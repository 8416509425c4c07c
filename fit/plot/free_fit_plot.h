#pragma once
// A picture of the free-form fit (PNG by the file's suffix): above, the measured depth dose, the
// model (electrons and background) and the background alone; below, the fitted spectrum.
#include "fit/free_spectrum_fit.h"
#include "fit/measured_data.h"

#include <filesystem>

namespace fit {

bool writeFreeFitPlot(const std::filesystem::path& file, const MeasuredCurve& measured, const FreeFitResult& result);

}  // namespace fit
