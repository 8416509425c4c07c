#include "viewers/spectrum_fit_run.h"

#include "beamdata/fit_protocol.h"
#include "beamdata/text_value.h"

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

std::string oneDecimal(double value) { return beamdata::printfNumber("%.1f", value); }

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

}  // namespace orvalis::viewers
