#pragma once
// orvalis-fit with the Beta model: the basis around the maximum energy, the fit of alpha, beta and
// the maximum energy, the report and the RESULT lines, and the optional curve file and plot.
#include "fit/fit_command.h"
#include "fit/measured_data.h"
#include "fit/spectrum_fit.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <ostream>

namespace fit {

// Draws measured against fitted into a picture file; returns false when it could not be written.
using PlotWriter =
    std::function<bool(const std::filesystem::path& file, const MeasuredCurve& measured, const FitResult& result)>;

// Runs the whole command, writing progress and results to `out`. Returns the exit status.
// Throws engine::RunError for unreadable inputs. A set `cancel` stops the basis without caching it.
int runFitCommand(const CommandOptions& options, std::ostream& out, const PlotWriter& plot = {},
                  const std::atomic<bool>* cancel = nullptr);

}  // namespace fit
