#include "beamdata/fluence_file.h"

#include "beamdata/free_format.h"
#include "engine/record_io.h"

namespace beamdata {
namespace {

FluenceRead failure(FluenceError error) {
    FluenceRead read;
    read.error = error;
    return read;
}

}  // namespace

std::string fluenceFileText(const std::string& fluenceNameVariable, const engine::Spectrum& spectrum) {
    using engine::formatLines;
    using engine::RecordFormat;
    std::string text = formatLines(RecordFormat(engine::NAME_FORMAT), {std::string_view(fluenceNameVariable)});
    text += formatLines(RecordFormat(FLUENCE_HEADING_FORMAT), {});
    const RecordFormat rowFormat(FLUENCE_ROW_FORMAT);
    for (int bin = 0; bin < engine::SPECTRUM_BINS; ++bin) {
        const auto index = static_cast<std::size_t>(bin);
        text += formatLines(rowFormat, {spectrum.binEnergyKeV[index] * engine::MEV_PER_KEV, spectrum.binWeight[index]});
    }
    return text;
}

FluenceRead readFluenceFile(std::string_view textBytes) {
    text::FieldReader reader{std::string(textBytes)};
    FluenceSpectrum spectrum;
    std::optional<std::string> title = reader.readLine();
    if (!title || !reader.readLine()) return failure(FluenceError::Unreadable);  // the heading is dropped
    spectrum.titleLine = std::move(*title);
    while (!reader.atEnd()) {
        if (static_cast<int>(spectrum.points.size()) == FLUENCE_POINTS_MAX) return failure(FluenceError::TooManyPoints);
        const std::optional<double> energyMeV = reader.readNumber();
        const std::optional<double> fluence = energyMeV ? reader.readNumber() : std::nullopt;
        if (!fluence) return failure(FluenceError::Unreadable);
        spectrum.points.push_back({*energyMeV, *fluence});
        if (*fluence > spectrum.fluenceMax) spectrum.fluenceMax = *fluence;
    }
    if (!(spectrum.fluenceMax > 0.0)) return failure(FluenceError::AllZero);
    // A fluence below minus the largest one is no spectrum: the file is damaged.
    for (const FluencePoint& point : spectrum.points)
        if (point.fluence < -spectrum.fluenceMax) return failure(FluenceError::Unreadable);
    FluenceRead read;
    read.spectrum = std::move(spectrum);
    return read;
}

}  // namespace beamdata
