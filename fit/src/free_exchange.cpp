#include "fit/free_exchange.h"

#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "fit/beta_weights.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace fit {

namespace {

constexpr const char* EOL = "\r\n";
constexpr const char* FREE_SUFFIX = "-free";
constexpr const char* LONGEST_EXTENSION = ".spct";

// Writes `text` to `path` and checks that every byte arrived.
void writeWhole(const std::filesystem::path& path, const std::string& text, const std::string& shownName) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw engine::RunError(shownName, 0, "cannot be created");
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw engine::RunError(shownName, 0, "cannot be written completely");
}

}  // namespace

std::string freeResultStem(const std::filesystem::path& measuredFile) {
    std::string stem = measuredFile.stem().string();
    const std::size_t room = RESULT_NAME_LENGTH - std::string(FREE_SUFFIX).size() -
                             std::string(LONGEST_EXTENSION).size();
    if (stem.size() > room) stem.resize(room);
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();  // the reader drops trailing blanks
    return stem;
}

std::string freeRunFileText(const FreeExchange& e, ExchangeTarget target) {
    char energy[32];
    std::snprintf(energy, sizeof energy, " %.1f", static_cast<double>(e.maxEnergyMeV));
    const std::string base = e.stem + FREE_SUFFIX;
    std::string text = std::string(energy) + EOL;
    if (target == ExchangeTarget::DepthDose) {
        text += std::to_string(DEPTH_DOSE_HISTORIES) + "." + EOL;
        text += base + ".pdd" + EOL + base + ".spct" + EOL;
    } else {
        text += std::to_string(KERNEL_HISTORIES) + "." + EOL;
        text += base + ".elk" + EOL;
    }
    return text;
}

std::string freeSpectrumFileText(const FreeExchange& e) {
    std::string text = e.titleLine1 + EOL + e.titleLine2 + EOL;
    for (int bin = 1; bin <= engine::SPECTRUM_BINS; ++bin) {
        char energy[16];
        std::snprintf(energy, sizeof energy, "%02d.%02d", bin / 100, bin % 100);
        const double weight = e.relativeWeight[static_cast<std::size_t>(bin - 1)];
        const double written = weightAsRead(weight) < engine::WEIGHT_FLOOR ? 0.0 : weight;
        text += std::string(energy) + " " + weightText(written) + EOL;
    }
    return text;
}

void writeFreeExchangeFiles(const std::filesystem::path& folder, const FreeExchange& e, ExchangeTarget target) {
    const std::filesystem::path runFile = folder / engine::RUN_FILE_NAME;
    const std::filesystem::path spectrumFile = folder / engine::SPECTRUM_FILE_NAME;
    const std::filesystem::path runTemporary = folder / (std::string(engine::RUN_FILE_NAME) + ".part");
    const std::filesystem::path spectrumTemporary = folder / (std::string(engine::SPECTRUM_FILE_NAME) + ".part");
    std::error_code ignored;
    try {
        writeWhole(runTemporary, freeRunFileText(e, target), engine::RUN_FILE_NAME);
        writeWhole(spectrumTemporary, freeSpectrumFileText(e), engine::SPECTRUM_FILE_NAME);
        std::error_code failed;
        std::filesystem::rename(spectrumTemporary, spectrumFile, failed);
        if (failed) throw engine::RunError(engine::SPECTRUM_FILE_NAME, 0, "cannot be replaced: " + failed.message());
        std::filesystem::rename(runTemporary, runFile, failed);
        if (failed) throw engine::RunError(engine::RUN_FILE_NAME, 0, "cannot be replaced: " + failed.message());
    } catch (...) {
        std::filesystem::remove(runTemporary, ignored);
        std::filesystem::remove(spectrumTemporary, ignored);
        throw;
    }
}

}  // namespace fit
