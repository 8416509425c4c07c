#include "fit/free_exchange.h"

#include "engine/constants.h"
#include "fit/beta_weights.h"

namespace fit {

namespace {

constexpr const char* FREE_SUFFIX = "-free";

}  // namespace

std::string freeResultStem(const std::filesystem::path& measuredFile) {
    std::string stem = measuredFile.stem().string();
    const std::size_t room = beamdata::RESULT_NAME_FIELD_WIDTH - std::string(FREE_SUFFIX).size() -
                             std::string(beamdata::FLUENCE_EXTENSION).size();
    if (stem.size() > room) stem.resize(room);
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();  // the reader drops trailing blanks
    return stem;
}

beamdata::ExchangeContent freeExchangeContent(const FreeExchange& e, beamdata::CalculationKind kind) {
    beamdata::ExchangeContent content;
    content.kind = kind;
    content.maxEnergyMeV = static_cast<double>(e.maxEnergyMeV);
    content.historyText = kind == beamdata::CalculationKind::DepthDose ? beamdata::DEPTH_DOSE_HISTORY_TEXT
                                                                       : beamdata::KERNEL_HISTORY_TEXT;
    content.resultBaseName = e.stem + FREE_SUFFIX;
    content.titleLine1 = e.titleLine1;
    content.titleLine2 = e.titleLine2;
    for (std::size_t bin = 1; bin <= e.relativeWeight.size(); ++bin) {
        const double weight = e.relativeWeight[bin - 1];
        content.relativeWeight[bin] = weightAsRead(weight) < engine::WEIGHT_FLOOR ? 0.0 : weight;
    }
    return content;
}

}  // namespace fit
