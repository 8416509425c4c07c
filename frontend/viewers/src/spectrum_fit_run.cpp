#include "viewers/spectrum_fit_run.h"

#include "beamdata/fit_protocol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace orvalis::viewers {
namespace {

constexpr int BASIS_PERCENT = 90;
constexpr int SCAN_PERCENT = 8;
constexpr double DEFAULT_SPAN_PERCENT = 10.0;  // the fit program's own default
constexpr const char* FREE_FIT_STAGE = "free";

std::string oneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::vector<std::string> fitArguments(const FitRequest& request) {
    std::vector<std::string> arguments{request.measuredPath};
    const bool beta = request.model == FitModel::Beta;
    if (!beta) arguments.insert(arguments.end(), {"--model", "free"});
    const bool fixed = beta && request.fixedMaxEnergy;
    if (request.maxEnergyMeV) {
        arguments.insert(arguments.end(), {"--emax", oneDecimal(*request.maxEnergyMeV)});
        if (fixed) arguments.emplace_back("--fixed-emax");
    } else {
        arguments.insert(arguments.end(), {"--rp", "measured"});
    }
    if (beta && !fixed && request.spanPercent != DEFAULT_SPAN_PERCENT)
        arguments.insert(arguments.end(), {"--span", oneDecimal(request.spanPercent)});
    arguments.insert(arguments.end(), {"--out", request.curvePath});
    if (request.scan) arguments.insert(arguments.end(), {"--scan", std::to_string(*request.scan)});
    if (request.ionisation) arguments.emplace_back(*request.ionisation ? "--ionisation" : "--dose");
    if (request.depthsInCm) arguments.insert(arguments.end(), {"--depth-unit", "cm"});
    return arguments;
}

std::optional<int> fitProgressPercent(const std::string& line) {
    const auto progress = beamdata::parseProgressLine(line);
    if (!progress) return std::nullopt;
    const double fraction = std::min(1.0, static_cast<double>(progress->done) / progress->total);
    if (progress->stage == "basis") return static_cast<int>(BASIS_PERCENT * fraction);
    if (progress->stage == "scan") return BASIS_PERCENT + static_cast<int>(SCAN_PERCENT * fraction);
    if (progress->stage == "grid") return BASIS_PERCENT + SCAN_PERCENT + 1;
    if (progress->stage == "refine") return 100;
    if (progress->stage == FREE_FIT_STAGE) return BASIS_PERCENT + static_cast<int>((100 - BASIS_PERCENT) * fraction);
    return std::nullopt;
}

std::optional<FittedSpectrum> parseFitResult(const std::string& line) {
    const auto record = beamdata::parseResultLine(line);
    if (!record) return std::nullopt;
    const auto p = beamdata::betaParameters(*record, beamdata::GRID_KIND);
    if (!p) return std::nullopt;
    return FittedSpectrum{p->alpha, p->beta, p->maxEnergyMeV, p->rmsPercent};
}

std::optional<FittedLevel> parseFitLevel(const std::string& line) {
    const auto record = beamdata::parseResultLine(line);
    if (!record) return std::nullopt;
    const auto level = beamdata::levelComparison(*record, {beamdata::GRID_KIND});
    if (!level || !level->measuredMm || !level->modelMm.front()) return std::nullopt;
    return FittedLevel{beamdata::levelName(level->level), *level->measuredMm, *level->modelMm.front()};
}

std::optional<std::vector<PlotPoint>> fittedCurvePoints(const std::string& fileText) {
    std::array<double, PDD_TABLE_LAST + 1> dose{};
    const PddLoad load = loadCalculatedPdd(fileText, PddSpan(dose));
    if (!load.ok || !load.maxDose || !(*load.maxDose > 0.0)) return std::nullopt;
    return calculatedCurvePoints(ConstPddSpan(dose), *load.maxDose);
}

std::vector<PlotSegment> dashedSegments(const std::vector<PlotPoint>& points, double xUnitsPerPx, double yUnitsPerPx,
                                        double onPx, double offPx, const ClipRect& visible) {
    std::vector<PlotSegment> dashes;
    if (points.size() < 2 || !(onPx > 0.0) || !(offPx >= 0.0) || !(xUnitsPerPx > 0.0) || !(yUnitsPerPx > 0.0))
        return dashes;
    const double period = onPx + offPx;
    double phase = 0.0;  // position within the dash pattern, px
    // Runs the pattern on over a part that is not drawn; a length beyond all reason restarts it.
    auto advance = [&](double lengthPx) {
        phase = std::isfinite(lengthPx) ? std::fmod(phase + lengthPx, period) : 0.0;
    };
    for (std::size_t i = 1; i < points.size(); ++i) {
        const PlotPoint a = points[i - 1];
        const PlotPoint b = points[i];
        const std::optional<ClipSpan> span = clipSegment(a.x, a.y, b.x, b.y, visible);
        if (!span) continue;
        const double lengthPx = std::hypot((b.x - a.x) / xUnitsPerPx, (b.y - a.y) / yUnitsPerPx);
        const PlotPoint from{a.x + (b.x - a.x) * span->enter, a.y + (b.y - a.y) * span->enter};
        const PlotPoint to{a.x + (b.x - a.x) * span->leave, a.y + (b.y - a.y) * span->leave};
        // The visible part's own length: finite and within the frame even when the segment's is not.
        const double shownPx = std::hypot((to.x - from.x) / xUnitsPerPx, (to.y - from.y) / yUnitsPerPx);
        advance(span->enter * lengthPx);
        double at = 0.0;
        while (at < shownPx) {
            const bool drawing = phase < onPx;
            const double step = std::min(shownPx - at, drawing ? onPx - phase : period - phase);
            if (drawing) {
                const double t0 = at / shownPx;
                const double t1 = (at + step) / shownPx;
                dashes.push_back({{from.x + (to.x - from.x) * t0, from.y + (to.y - from.y) * t0},
                                  {from.x + (to.x - from.x) * t1, from.y + (to.y - from.y) * t1}});
            }
            at += step;
            phase += step;
            if (phase >= period) phase -= period;
        }
        advance((1.0 - span->leave) * lengthPx);
    }
    return dashes;
}

}  // namespace orvalis::viewers
