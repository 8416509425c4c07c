#include "beamdata/exchange_files.h"

#include <fstream>
#include <system_error>
#include <utility>

#include "beamdata/number_pattern.h"
#include "engine/record_io.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"

namespace beamdata {
namespace {

constexpr const char* EOL = "\r\n";

void writeFile(const std::filesystem::path& file, const std::string& bytes, const std::string& name) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) throw engine::RunError("Cannot create the exchange file " + name);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw engine::RunError("Cannot write the exchange file " + name);
}

}  // namespace

std::string alphaTitleLine(double alpha) { return std::string(ALPHA_SHIFT_JIS) + "=" + formatNumber(alpha, "###.0"); }

std::string betaTitleLine(double beta) { return std::string(BETA_SHIFT_JIS) + "=" + formatNumber(beta, "###.0"); }

std::string weightText(double relativeWeight) { return formatNumber(relativeWeight, WEIGHT_PATTERN); }

float weightAsRead(double relativeWeight) {
    float value = 0.0f;
    // The simulator's E10.3 field: the blank in column 6, then the nine characters.
    std::string field(" ");
    field += weightText(relativeWeight);
    engine::parseRealField(field, 3, value);
    return value;
}

std::string relativeEnergyText(int bin) { return formatNumber(bin / 100.0, "00.00"); }

std::string resultExtension(CalculationKind kind) {
    return kind == CalculationKind::Kernel ? KERNEL_EXTENSION : DEPTH_DOSE_EXTENSION;
}

std::string runFileBytes(const ExchangeContent& content) {
    std::string text = formatNumber(content.maxEnergyMeV, " #0.0") + EOL;
    text += content.historyText + "." + EOL;
    text += resultFileName(content) + EOL;
    if (content.kind == CalculationKind::DepthDose) {
        text += fluenceFileName(content) + EOL;
    }
    return text;
}

std::string resultFileName(const ExchangeContent& content) {
    return content.resultBaseName + resultExtension(content.kind);
}

std::string fluenceFileName(const ExchangeContent& content) { return content.resultBaseName + FLUENCE_EXTENSION; }

std::string spectrumFileBytes(const ExchangeContent& content) {
    std::string text = content.titleLine1 + EOL + content.titleLine2 + EOL;
    for (int i = 1; i <= SPECTRUM_LAST_POINT; ++i) {
        text += relativeEnergyText(i) + " " + weightText(content.relativeWeight[static_cast<std::size_t>(i)]) + EOL;
    }
    return text;
}

void writeExchangeFiles(const std::filesystem::path& folder, const ExchangeContent& content) {
    const std::string runName = engine::RUN_FILE_NAME;
    const std::string spectrumName = engine::SPECTRUM_FILE_NAME;
    const std::filesystem::path runPart = folder / (runName + ".part");
    const std::filesystem::path spectrumPart = folder / (spectrumName + ".part");
    std::error_code ignored;
    try {
        writeFile(runPart, runFileBytes(content), runName);
        writeFile(spectrumPart, spectrumFileBytes(content), spectrumName);
        for (const auto& [part, name] : {std::pair{runPart, runName}, std::pair{spectrumPart, spectrumName}}) {
            std::error_code failed;
            std::filesystem::rename(part, folder / name, failed);
            if (failed)
                throw engine::RunError("Cannot write the exchange file " + name + " (" + failed.message() + ")");
        }
    } catch (...) {
        std::filesystem::remove(runPart, ignored);
        std::filesystem::remove(spectrumPart, ignored);
        throw;
    }
}

}  // namespace beamdata
