#include "beamdata/exchange_files.h"

#include <chrono>
#include <cmath>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

#include "beamdata/number_pattern.h"
#include "engine/record_io.h"
#include "engine/result_lock.h"
#include "engine/run_error.h"
#include "engine/stop_request.h"
#include "engine/temporary_file.h"

namespace beamdata {
namespace {

constexpr const char* EOL = "\r\n";

// Exchange files are written in a moment: another writer's lock is waited for this long.
constexpr auto LOCK_PATIENCE = std::chrono::seconds(3);
constexpr auto LOCK_POLL = std::chrono::milliseconds(10);

engine::ResultLock lockExchangeFiles(const std::filesystem::path& runFile, const std::string& name) {
    const auto giveUp = std::chrono::steady_clock::now() + LOCK_PATIENCE;
    for (;;) {
        try {
            return engine::ResultLock(runFile);
        } catch (const engine::LockRefused& refused) {
            if (refused.reason() != engine::LockRefused::Reason::HeldByAnotherRun ||
                std::chrono::steady_clock::now() > giveUp)
                throw engine::RunError("Cannot write the exchange file " + name + ": it " + refused.what());
        }
        std::this_thread::sleep_for(LOCK_POLL);
    }
}

engine::TemporaryFile createdTemporary(const std::filesystem::path& file, const std::string& name) {
    try {
        return engine::TemporaryFile(file);
    } catch (const std::system_error& error) {
        throw engine::RunError("Cannot create the exchange file " + name + " (" + error.code().message() + ")");
    }
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
    // The two files are one pair: one writer at a time, both complete before either is renamed,
    // and no stop signal between the two renames.
    const engine::ResultLock lock = lockExchangeFiles(folder / runName, runName);
    engine::TemporaryFile runFile = createdTemporary(folder / runName, runName);
    engine::TemporaryFile spectrumFile = createdTemporary(folder / spectrumName, spectrumName);
    for (auto [file, bytes, name] : {std::tuple{&runFile, runFileBytes(content), runName},
                                     std::tuple{&spectrumFile, spectrumFileBytes(content), spectrumName}}) {
        try {
            file->write(bytes);
        } catch (const std::system_error& error) {
            throw engine::RunError("Cannot write the exchange file " + name + " (" + error.code().message() + ")");
        }
    }
    for (const auto& name : {runName, spectrumName}) {
        std::error_code ignored;
        if (std::filesystem::is_directory(folder / name, ignored))  // found before either file is replaced
            throw engine::RunError("Cannot write the exchange file " + name + " (a folder of that name is in the way)");
    }
    const engine::DeferStopSignals deferred;
    for (auto [file, name] : {std::pair{&runFile, runName}, std::pair{&spectrumFile, spectrumName}}) {
        try {
            file->commit();
        } catch (const std::system_error& error) {
            throw engine::RunError("Cannot write the exchange file " + name + " (" + error.code().message() + ")");
        }
    }
}

}  // namespace beamdata

namespace engine {

RunFile readRunFile(const std::filesystem::path& path, RunKind kind) {
    LineReader reader(path);
    const RecordFormat nameFormat(NAME_FORMAT);
    RunFile run;
    run.maxEnergyMeV = readListDirectedReal(reader, "the maximum energy in MeV (line 1)");
    // Every bin energy is a share of it, and the result headers write it with "F6.2": a value
    // that is no positive energy, or one that field would write as asterisks or as 0.00 (which
    // every reader of the results refuses), gives no result.
    if (!(run.maxEnergyMeV > 0.0f) || !std::isfinite(run.maxEnergyMeV))
        reader.fail("the maximum energy must be a positive number of MeV, not " + floatMessageText(run.maxEnergyMeV));
    const std::string headerField = formatFixedField(run.maxEnergyMeV, 6, 2);
    if (headerField.find('*') != std::string::npos)
        reader.fail("the maximum energy " + floatMessageText(run.maxEnergyMeV) +
                    " MeV does not fit the result files' header field (\"F6.2\", below 1000 MeV)");
    if (headerField.find_first_of("123456789") == std::string::npos)
        reader.fail("the maximum energy " + floatMessageText(run.maxEnergyMeV) +
                    " MeV is written as 0.00 in the result files' header field (\"F6.2\" keeps two decimals)");
    run.historyCount = readListDirectedReal(reader, "the history count (line 2)");
    run.historyCountLine = reader.lineNumber();
    if (!(run.historyCount < HISTORY_COUNT_LIMIT && run.historyCount > -HISTORY_COUNT_LIMIT))
        reader.fail("the history count is too large to be run");
    readFormatted(reader, nameFormat, {&run.resultFileName}, "the result file name (line 3, \"(A30)\")");
    run.resultNameLine = reader.lineNumber();
    if (kind == RunKind::DepthDose) {
        readFormatted(reader, nameFormat, {&run.fluenceFileName}, "the fluence file name (line 4, \"(A30)\")");
        run.fluenceNameLine = reader.lineNumber();
    }
    return run;
}

Spectrum readSpectrumFile(const std::filesystem::path& path) {
    LineReader reader(path);
    const RecordFormat nameFormat(NAME_FORMAT);
    const RecordFormat lineFormat(SPECTRUM_LINE_FORMAT);
    Spectrum spectrum;
    readFormatted(reader, nameFormat, {&spectrum.titleLine1}, "the first title line (\"(A30)\")");
    readFormatted(reader, nameFormat, {&spectrum.titleLine2}, "the second title line (\"(A30)\")");
    for (int bin = 0; bin < SPECTRUM_BINS; ++bin) {
        const auto index = static_cast<std::size_t>(bin);
        float& weight = spectrum.binWeight[index];
        readFormatted(
            reader, lineFormat, {&spectrum.relativeEnergy[index], &weight},
            "spectrum line " + std::to_string(bin + 1) + " of 100 (relative energy and weight, \"(F5.2,E10.3)\")");
        if (weight < WEIGHT_FLOOR) weight = 0.0f;
    }
    return spectrum;
}

std::string resultHeaderLines(float maxEnergyMeV, const Spectrum& spectrum, float historyCount) {
    return formatLines(RecordFormat(HEADER_FORMAT),
                       {maxEnergyMeV, std::string_view(spectrum.titleLine1), std::string_view(spectrum.titleLine2)}) +
           formatLines(RecordFormat(HISTORY_COUNT_FORMAT), {historyCount});
}

}  // namespace engine
