#pragma once
// orvalis-fit --model free: the basis at the bin energies of the exchange file, the free-form fit
// with its background, the report and the RESULT lines, and the optional curve file, plot and
// exchange files. Every output file is written only after the fit has succeeded.
#include "fit/fit_command.h"
#include "fit/free_spectrum_fit.h"

#include <atomic>
#include <functional>
#include <ostream>
#include <string>

namespace fit {

// Emax of the free-form basis: this factor times the maximum energy derived from the practical
// range, so that the top bins stay free above the most energetic electrons.
constexpr double FREE_MAX_ENERGY_FACTOR = 1.2;

using FreePlotWriter =
    std::function<bool(const std::filesystem::path& file, const MeasuredCurve& measured, const FreeFitResult& result)>;

// Runs the free-form fit through runFreeFitStages (free_fit_driver.h), writing each stage's lines,
// progress and results to `out`. Returns the exit status (2: cancelled).
// Throws engine::RunError for unreadable or unusable inputs, before any file is written.
int runFreeFitCommand(const CommandOptions& options, std::ostream& out, const FreePlotWriter& plot = {},
                      const std::atomic<bool>* cancel = nullptr);

}  // namespace fit
