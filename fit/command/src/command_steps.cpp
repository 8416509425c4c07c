#include "fit/command_steps.h"

#include "beamdata/range_energy.h"
#include "engine/electron_data.h"
#include "engine/run_error.h"
#include "fit/basis_cache.h"
#include "fit/fit_report.h"
#include "fit/report_text.h"

#include <chrono>
#include <string>
#include <vector>

namespace fit {

std::optional<AxisBasis> obtainBasis(const CommandOptions& o, float centreMeV, std::ostream& out,
                                     const std::atomic<bool>* cancel, int curveCount) {
    const std::filesystem::path eldat = o.workFolder / engine::ELECTRON_DATA_FILE_NAME;
    const std::uint64_t hash = contentHash(eldat);
    if (curveCount == 0) curveCount = basisCurveCount(o.maxEnergySpan);
    // A basis of other than the Beta fit's count of curves is kept under a name of its own.
    std::string cacheName = basisCacheFileName(centreMeV);
    if (curveCount != basisCurveCount(o.maxEnergySpan))
        cacheName = cacheName.substr(0, cacheName.rfind('.')) + "-" + std::to_string(curveCount) + ".txt";
    const std::filesystem::path cacheFile = o.workFolder / cacheName;
    std::string reason = "not used (--no-cache)";
    if (o.useCache) {
        if (auto cached = loadBasis(cacheFile, centreMeV, historiesPerCurve(o), curveCount, hash, reason)) {
            out << "Basis read from " << cacheFile.filename().string() << "\n" << std::flush;
            return cached;
        }
    }
    out << "Basis " << cacheFile.filename().string() << ": " << reason << "; simulating " << curveCount << " curves of "
        << historiesPerCurve(o) << " histories on " << o.threads << " threads\n"
        << std::flush;
    const engine::ElectronData data = engine::loadElectronData(eldat);
    const auto start = std::chrono::steady_clock::now();
    AxisBasis basis;
    const bool complete = simulateBasis(
        data, centreMeV, historiesPerCurve(o), curveCount, o.threads, basis,
        [&out](int done, int total) { out << progressLine("basis", done, total) << std::flush; }, cancel);
    if (!complete) return std::nullopt;
    out << "Basis simulated in " << secondsText(secondsSince(start)) << "\n" << std::flush;
    if (o.useCache) {
        // The cache only saves time: a file that cannot be kept does not fail the fit.
        try {
            saveBasis(cacheFile, basis, hash);
        } catch (const engine::RunError& error) {
            out << "Basis not kept: " << error.what() << "\n";
        }
    }
    return basis;
}

OutputFiles openOutputFiles(const CommandOptions& o) {
    const std::vector<std::filesystem::path> inputs = {o.measuredFile, o.workFolder / engine::ELECTRON_DATA_FILE_NAME,
                                                       o.workFolder / beamdata::CSDA_FILE_NAME};
    OutputFiles files;
    if (!o.curveFile.empty())
        files.curve = std::make_unique<engine::ResultFile>(std::filesystem::path(), o.curveFile.string(),
                                                           engine::NameOrigin{"--out", 0, "the fitted curve file"},
                                                           inputs);
    if (!o.plotFile.empty()) {
        const engine::NameOrigin origin{"--plot", 0, "the plot file"};
        engine::checkResultName(o.plotFile, origin, inputs);
        try {
            files.plotLock = std::make_unique<engine::ResultLock>(o.plotFile);
        } catch (const engine::LockRefused& refused) {
            throw engine::RunError(
                origin.fileName, 0,
                origin.what + " \"" + o.plotFile.string() + "\" " + refused.what() + "; no result file was written.");
        }
    }
    return files;
}

void drawPlot(const std::filesystem::path& file, bool drawable, const std::function<bool()>& draw, std::ostream& out) {
    if (file.empty()) return;
    if (!drawable)
        out << "This build draws no plots (Qt 6 Gui missing); " << file.string() << " not written\n";
    else if (!draw())
        out << "The plot " << file.string() << " could not be written\n";
    else
        out << "Plot written to " << file.string() << "\n";
}

}  // namespace fit
