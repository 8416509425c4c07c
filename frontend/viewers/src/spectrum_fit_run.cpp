#include "viewers/spectrum_fit_run.h"

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
constexpr int SCROLL_MIN = 1;
constexpr int SCROLL_MAX = 200;
constexpr double SCROLL_PER_PARAMETER = 10.0;
constexpr double DEFAULT_SPAN_PERCENT = 10.0;  // the fit program's own default

bool readNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && std::isfinite(value);
}

std::string oneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::vector<std::string> fitArguments(const FitRequest& request) {
    std::vector<std::string> arguments{request.measuredPath};
    if (request.maxEnergyMeV) {
        arguments.insert(arguments.end(), {"--emax", oneDecimal(*request.maxEnergyMeV)});
        if (request.fixedMaxEnergy) arguments.emplace_back("--fixed-emax");
    } else {
        arguments.insert(arguments.end(), {"--rp", "measured"});
    }
    if (!request.fixedMaxEnergy && request.spanPercent != DEFAULT_SPAN_PERCENT)
        arguments.insert(arguments.end(), {"--span", oneDecimal(request.spanPercent)});
    arguments.insert(arguments.end(), {"--out", request.curvePath});
    return arguments;
}

std::optional<int> fitProgressPercent(const std::string& line) {
    std::istringstream fields(line);
    std::string tag, stage;
    int done = 0, total = 0;
    if (!(fields >> tag >> stage >> done >> total) || tag != "PROGRESS" || total <= 0 || done < 0) return std::nullopt;
    const double fraction = std::min(1.0, static_cast<double>(done) / total);
    if (stage == "basis") return static_cast<int>(BASIS_PERCENT * fraction);
    if (stage == "scan") return BASIS_PERCENT + static_cast<int>(SCAN_PERCENT * fraction);
    if (stage == "grid") return BASIS_PERCENT + SCAN_PERCENT + 1;
    if (stage == "refine") return 100;
    return std::nullopt;
}

std::optional<FittedSpectrum> parseFitResult(const std::string& line) {
    const std::string prefix = "RESULT grid ";
    if (line.rfind(prefix, 0) != 0) return std::nullopt;
    FittedSpectrum result;
    int found = 0;
    std::istringstream fields(line.substr(prefix.size()));
    std::string field;
    while (fields >> field) {
        const auto equals = field.find('=');
        double value = 0.0;
        if (equals == std::string::npos || !readNumber(field.substr(equals + 1), value)) return std::nullopt;
        const std::string key = field.substr(0, equals);
        if (key == "alpha")
            result.alpha = value, found |= 1;
        else if (key == "beta")
            result.beta = value, found |= 2;
        else if (key == "emax")
            result.maxEnergyMeV = value, found |= 4;
        else if (key == "rms")
            result.rmsPercent = value, found |= 8;
    }
    if (found != 15) return std::nullopt;
    return result;
}

std::optional<FittedLevel> parseFitLevel(const std::string& line) {
    std::istringstream fields(line);
    std::string tag, name, measured, fitted;
    if (!(fields >> tag >> name >> measured >> fitted) || tag != "RESULT") return std::nullopt;
    if (name != "R90" && name != "R80" && name != "R50" && name != "R10") return std::nullopt;
    FittedLevel level{name, 0.0, 0.0};
    if (measured.rfind("measured=", 0) != 0 || fitted.rfind("grid=", 0) != 0) return std::nullopt;
    if (!readNumber(measured.substr(9), level.measuredMm) || !readNumber(fitted.substr(5), level.fittedMm))
        return std::nullopt;
    return level;
}

int scrollBarValue(double parameter) {
    return std::clamp(static_cast<int>(std::lround(parameter * SCROLL_PER_PARAMETER)), SCROLL_MIN, SCROLL_MAX);
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
