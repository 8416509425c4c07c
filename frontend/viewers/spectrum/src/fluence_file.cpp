#include "viewers/fluence_file.h"

#include "beamdata/free_format.h"

namespace orvalis::viewers {
namespace {

FluenceRead failure(FluenceError error) {
    FluenceRead read;
    read.error = error;
    return read;
}

}  // namespace

FluenceRead readFluenceFile(std::string_view textBytes) {
    beamdata::text::FieldReader reader{std::string(textBytes)};
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

std::vector<ChartPoint> fluenceChartPoints(const std::vector<FluencePoint>& points, double fluenceMax) {
    std::vector<ChartPoint> chart;
    if (!(fluenceMax > 0.0)) return chart;
    chart.reserve(points.size());
    // Divided first: the share of the largest fluence cannot overflow, however large the fluences.
    for (const FluencePoint& point : points) chart.push_back({point.energyMeV, point.fluence / fluenceMax * 100.0});
    return chart;
}

}  // namespace orvalis::viewers
