#include "common/exchange_files.h"

#include <fstream>

#include "common/file_error.h"
#include "common/number_pattern.h"

namespace orvalis {
namespace {

constexpr const char* EOL = "\r\n";

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    const std::string name = file.filename().string();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) throw FileError("Cannot create the exchange file " + name);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw FileError("Cannot write the exchange file " + name);
}

}  // namespace

std::string resultExtension(CalculationKind kind) { return kind == CalculationKind::Kernel ? ".elk" : ".pdd"; }

std::string runFileBytes(const ExchangeContent& content) {
    std::string text = formatNumber(content.maxEnergyMeV, " #0.0") + EOL;
    text += content.historyText + "." + EOL;
    text += content.resultBaseName + resultExtension(content.kind) + EOL;
    if (content.kind == CalculationKind::DepthDose) {
        text += content.resultBaseName + FLUENCE_EXTENSION + EOL;
    }
    return text;
}

std::string spectrumFileBytes(const ExchangeContent& content) {
    std::string text = std::string(ALPHA_SHIFT_JIS) + "=" + formatNumber(content.alpha, "###.0") + EOL;
    text += std::string(BETA_SHIFT_JIS) + "=" + formatNumber(content.beta, "###.0") + EOL;
    for (int i = 1; i <= SPECTRUM_LAST_POINT; ++i) {
        text += formatNumber(i / 100.0, "00.00") + " " +
                formatNumber(content.specRelative[static_cast<std::size_t>(i)], "0.000E+00") + EOL;
    }
    return text;
}

void writeExchangeFiles(const std::filesystem::path& folder, const ExchangeContent& content) {
    writeFile(folder / RUN_FILE_NAME, runFileBytes(content));
    writeFile(folder / SPECTRUM_FILE_NAME, spectrumFileBytes(content));
}

}  // namespace orvalis
