#pragma once
// The steps that the runs of both models share: the basis from the cache or the engine, the output
// files checked and locked before any work, and the plot.
#include "engine/result_file.h"
#include "fit/axis_basis.h"
#include "fit/command_options.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

namespace fit {

// The basis at centreMeV from the cache in the work folder when it matches, otherwise simulated
// (and cached). curveCount 0 takes the Beta fit's count for the span. Empty when cancelled.
// Throws engine::RunError for an unreadable ELDAT.dat.
std::optional<AxisBasis> obtainBasis(const CommandOptions& options, float centreMeV, std::ostream& out,
                                     const std::atomic<bool>* cancel, int curveCount = 0);

// The files to be written, checked before any work against every file the fit reads (a result
// never overwrites an input), and locked for the whole run, so that a second fit on the same names
// is refused before its basis: the curve file of --out opened (empty without --out), the name of
// --plot checked. Throws engine::RunError for an unusable name or one another run is writing.
struct OutputFiles {
    std::unique_ptr<engine::ResultFile> curve;
    std::unique_ptr<engine::ResultLock> plotLock;
};
OutputFiles openOutputFiles(const CommandOptions& options);

// Draws the plot of --plot, if one is asked for, by `draw` and says so; `drawable` false: this
// build has no plots.
void drawPlot(const std::filesystem::path& file, bool drawable, const std::function<bool()>& draw, std::ostream& out);

}  // namespace fit
