#include "viewers/free_fit_run.h"

#include <cmath>
#include <cstdio>
#include <locale>
#include <sstream>

namespace orvalis::viewers {
namespace {

std::string fixed(const char* format, const std::optional<double>& value) {
    if (!value) return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

// " (95 %: low to high)" for the quantity's interval, empty when the output holds none.
std::string intervalText(const beamdata::FreeFitOutput& result, std::string_view quantity) {
    for (const beamdata::IntervalReport& i : result.intervals)
        if (i.quantity == quantity)
            return " (" + fixed("%.0f", i.level * 100.0) + " %: " + fixed("%.2f", i.low) + " to " +
                   fixed("%.2f", i.high) + ")";
    return "";
}

}  // namespace

std::optional<FreeFitView> parseFreeFit(std::string_view output) {
    const auto result = beamdata::parseFreeFitOutput(output);
    if (!result) return std::nullopt;
    FreeFitView view;
    view.result = *result;
    for (std::size_t j = 0; j < FREE_SPECTRUM_BINS; ++j)
        view.spectrum[j] = {static_cast<double>(j + 1) / FREE_SPECTRUM_BINS * result->summary.maxEnergyMeV,
                            result->spectrum[j]};
    return view;
}

std::string freeFitFiguresText(const beamdata::FreeFitOutput& result) {
    const beamdata::FreeSummary& s = result.summary;
    std::string text = "Free-form   rms " + fixed("%.2f", s.rmsPercent) + " %   Emax " + fixed("%.1f", s.maxEnergyMeV) +
                       " MeV   smoothing " + fixed("%.2e", s.smooth) +
                       (s.smoothBy.empty() ? "" : " (" + s.smoothBy + ")") + "\nmean " +
                       fixed("%.2f", s.meanEnergyMeV) + " MeV" + intervalText(result, "mean") + "   peak " +
                       fixed("%.2f", s.peakEnergyMeV) + " MeV" + intervalText(result, "peak") + "   background " +
                       (result.noBackgroundReason ? "none" : fixed("%.2f", s.backgroundPercent) + " % at Rp");
    if (result.noBackgroundReason) text += "\nNo background: " + *result.noBackgroundReason;
    for (const beamdata::LevelComparison& level : result.levels) {
        const auto model = [&level](std::size_t k) {
            return k < level.modelMm.size() ? level.modelMm[k] : std::optional<double>();
        };
        text += std::string("\n") + beamdata::levelName(level.level) + ": measured " + fixed("%.2f", level.measuredMm) +
                " mm, free " + fixed("%.2f", model(0)) + " mm" +
                intervalText(result, beamdata::levelName(level.level)) + ", window " + fixed("%.2f", model(1)) + " mm";
    }
    if (!result.noBackgroundReason)
        text +=
            "\nThe simulators follow electrons only: the exchange files carry the spectrum refitted "
            "without the background; \"window\" is what the comparison window will show of their run.";
    return text;
}

}  // namespace orvalis::viewers
