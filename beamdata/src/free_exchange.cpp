#include "beamdata/free_exchange.h"

#include "beamdata/number_pattern.h"
#include "engine/constants.h"

namespace beamdata {

namespace {

constexpr const char* FREE_SUFFIX = "-free";

// Dx as the fit's RESULT line prints it, to a tenth.
std::string backgroundTitle(double leftOutPercent) {
    return "background " + formatNumber(leftOutPercent, "#0.0") + " % left out";
}

}  // namespace

std::string freeResultStem(const std::filesystem::path& measuredFile) {
    std::string stem = measuredFile.stem().string();
    const std::size_t room = RESULT_NAME_FIELD_WIDTH - std::string(FREE_SUFFIX).size() -
                             std::string(FLUENCE_EXTENSION).size();
    if (stem.size() > room) stem.resize(room);
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();  // the reader drops trailing blanks
    return stem;
}

ExchangeContent freeExchangeContent(const FreeFitOutput& fit, const std::filesystem::path& measuredFile,
                                    CalculationKind kind) {
    ExchangeContent content;
    content.kind = kind;
    content.maxEnergyMeV = fit.summary.maxEnergyMeV;
    content.historyText = kind == CalculationKind::DepthDose ? DEPTH_DOSE_HISTORY_TEXT : KERNEL_HISTORY_TEXT;
    content.resultBaseName = freeResultStem(measuredFile) + FREE_SUFFIX;
    content.titleLine1 = "free-form fit";
    content.titleLine2 = fit.noBackgroundReason ? "no background" : backgroundTitle(fit.summary.backgroundPercent);
    for (std::size_t bin = 1; bin <= fit.runSpectrum.size(); ++bin) {
        const double weight = fit.runSpectrum[bin - 1];
        content.relativeWeight[bin] = weightAsRead(weight) < engine::WEIGHT_FLOOR ? 0.0 : weight;
    }
    return content;
}

}  // namespace beamdata
