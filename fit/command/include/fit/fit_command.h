#pragma once
// The orvalis-fit command with the Beta model: the fit on the basis, the report and the optional
// curve file and plot (the arguments of both models: fit/command_options.h).
//
//   orvalis-fit MEASURED (--emax MeV | --rp cm | --rp measured) [--scan N] [--ionisation | --dose]
//               [--depth-unit mm|cm] [--fixed-emax] [--span %] [--histories N] [--from mm] [--threads N] [--out
//               FILE.pdd]
//               [--plot FILE.png] [--no-cache]
//   orvalis-fit MEASURED --model free (--emax MeV | --rp cm | --rp measured) [--smooth S]
//               [--background on|off] [--exchange | --kernel-exchange] [--histories N] [--from mm] ...
#include "fit/command_options.h"
#include "fit/command_steps.h"
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
