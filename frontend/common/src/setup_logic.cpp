#include "common/setup_logic.h"

#include <algorithm>
#include <cmath>

#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "engine/record_io.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"

namespace orvalis {

namespace {

constexpr double CURSOR_EDGE_LOW = 1.0;
constexpr double CURSOR_EDGE_HIGH = 998.0;

bool isWholeCount(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The count as the simulators read it back from the run file (the text and a point, a 32-bit
// real), so that the window refuses exactly what they would refuse.
bool simulatorsRunCount(const std::string& text) {
    float count = 0.0f;
    return engine::parseRealField(text + ".", 0, count) && count >= 1.0f && count < engine::HISTORY_COUNT_LIMIT;
}

}  // namespace

int scrollBarValue(double parameter) {
    return std::clamp(static_cast<int>(std::lround(parameter * SCROLL_STEPS_PER_PARAMETER)), SCROLL_BAR_MIN,
                      SCROLL_BAR_MAX);
}

std::string simulatorFor(CalculationKind kind) {
    return kind == CalculationKind::Kernel ? KERNEL_PROGRAM : DEPTH_DOSE_PROGRAM;
}

bool startSimulator(CalculationKind kind, const std::filesystem::path& folder, MessageSink& messages,
                    ProgramLauncher& launcher) {
    const LaunchResult result = launcher.start(simulatorFor(kind), folder);
    if (!result.started) messages.warn(" " + result.message);
    return result.started;
}

std::string composeFileName(const std::string& nominalEnergyText, const std::string& maxEnergyText,
                            const std::string& alphaText, const std::string& betaText) {
    return nominalEnergyText + "MeV-" + maxEnergyText + "_" + alphaText + "-" + betaText;
}

SpectrumCursor spectrumCursor(double x, double y, const SpectrumArray& relative) {
    SpectrumCursor cursor;
    const auto inside = [](double v) { return v > CURSOR_EDGE_LOW && v < CURSOR_EDGE_HIGH; };
    if (!inside(x) || !inside(y)) return cursor;
    cursor.shown = true;
    cursor.x = x;
    cursor.xText = beamdata::formatNumber(x / SPECTRUM_PLOT_FULL_SCALE, "0.00");
    const auto k = static_cast<std::size_t>(std::floor(x / SPECTRUM_PLOT_UNITS_PER_POINT));
    cursor.y = SPECTRUM_PLOT_FULL_SCALE * relative[k];
    cursor.valueText = beamdata::formatNumber(relative[k], "0.000");
    return cursor;
}

bool launchCalculation(const LaunchRequest& request, const SpectrumArray& relativeWeight,
                       const std::filesystem::path& folder, MessageSink& messages, ProgramLauncher& launcher,
                       const std::function<void()>& afterWriting) {
    if (!isWholeCount(request.historyText)) {
        messages.warn(" The number of histories must be a whole number (\"" + request.historyText +
                      "\"). Nothing was started.");
        return false;
    }
    if (!simulatorsRunCount(request.historyText)) {
        messages.warn(" The number of histories must lie between 1 and " +
                      std::to_string(static_cast<long long>(std::nextafter(engine::HISTORY_COUNT_LIMIT, 0.0f))) +
                      " (\"" + request.historyText + "\"); the simulator would refuse it. Nothing was started.");
        return false;
    }
    const std::string longestExtension = request.kind == CalculationKind::DepthDose
                                             ? beamdata::FLUENCE_EXTENSION
                                             : beamdata::resultExtension(request.kind);
    if (request.fileNameText.size() + longestExtension.size() > RESULT_NAME_FIELD_WIDTH) {
        messages.warn(" The file name \"" + request.fileNameText + longestExtension + "\" is longer than " +
                      std::to_string(RESULT_NAME_FIELD_WIDTH) +
                      " characters; the simulator would cut it. Nothing was started.");
        return false;
    }
    beamdata::ExchangeContent content;
    content.kind = request.kind;
    content.maxEnergyMeV = beamdata::textValue(request.maxEnergyText);
    content.historyText = request.historyText;
    content.resultBaseName = request.fileNameText;
    content.titleLine1 = beamdata::alphaTitleLine(beamdata::textValue(request.alphaText));
    content.titleLine2 = beamdata::betaTitleLine(beamdata::textValue(request.betaText));
    content.relativeWeight = relativeWeight;
    try {
        beamdata::writeExchangeFiles(folder, content);
    } catch (const engine::RunError& error) {
        messages.warn(std::string(" ") + error.what() + ". Nothing was started.");
        return false;
    }
    if (afterWriting) afterWriting();
    return startSimulator(request.kind, folder, messages, launcher);
}

}  // namespace orvalis
