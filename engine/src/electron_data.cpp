#include "engine/electron_data.h"

#include "engine/record_io.h"
#include "engine/run_error.h"

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace engine {

ElectronData loadElectronData(const std::filesystem::path& path) {
    LineReader reader(path);
    const RecordFormat rowFormat(QUANTILE_ROW_FORMAT);
    const RecordFormat energyFormat(TABLE_ENERGY_FORMAT);
    ElectronData data;
    std::vector<InputItem> items;
    items.reserve(QUANTILE_COLUMNS);
    for (int row = 0; row < ENERGY_ROWS; ++row) {
        items.clear();
        for (std::int32_t& value : data.deflectionQuantiles[static_cast<std::size_t>(row)]) items.emplace_back(&value);
        readFormatted(reader, rowFormat, items,
                      "row " + std::to_string(row + 1) + " of the deflection quantiles (65 integers, \"(1X,8I6)\")");
    }
    items.clear();
    for (float& energy : data.tableEnergyKeV) items.emplace_back(&energy);
    readFormatted(reader, energyFormat, items, "the 24 table energies in keV (\"(1X,4E15.7)\")");
    return data;
}

std::string formatElectronData(const ElectronData& data) {
    const RecordFormat rowFormat(QUANTILE_ROW_FORMAT);
    const RecordFormat energyFormat(TABLE_ENERGY_FORMAT);
    std::string text;
    std::vector<OutputItem> items;
    for (const auto& row : data.deflectionQuantiles) {
        items.assign(row.begin(), row.end());
        for (const std::string& record : formatRecords(rowFormat, items)) text += record + "\r\n";
    }
    items.assign(data.tableEnergyKeV.begin(), data.tableEnergyKeV.end());
    for (const std::string& record : formatRecords(energyFormat, items)) text += record + "\r\n";
    return text;
}

void saveElectronData(const std::filesystem::path& path, const ElectronData& data) {
    const std::string text = formatElectronData(data);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw RunError(path.string(), 0, "cannot be written");
}

EnergyBracket bracketEnergy(const ElectronData& data, float energyKeV) {
    const auto& energies = data.tableEnergyKeV;
    // The first row below the energy; rows m and m + 1 bracket it (m = 0 extrapolates above row 0).
    int below = 1;
    while (below < ENERGY_ROWS && !(energies[static_cast<std::size_t>(below)] < energyKeV)) ++below;
    if (below == ENERGY_ROWS) return EnergyBracket{};  // at or below the lowest energy: straight on
    const auto m = static_cast<std::size_t>(below - 1);
    return EnergyBracket{true, below - 1, (energyKeV - energies[m]) / (energies[m + 1] - energies[m])};
}

Deflection sampleDeflection(const ElectronData& data, float energyKeV, LaggedGenerator& generator) {
    const EnergyBracket bracket = bracketEnergy(data, energyKeV);
    if (!bracket.deflects) return Deflection{};
    const float u1 = generator.nextUniform();
    const float u2 = generator.nextUniform();

    const ColumnPosition at = columnPosition(u1);
    const auto c = static_cast<std::size_t>(at.column);
    const auto& upperRow = data.deflectionQuantiles[static_cast<std::size_t>(bracket.upperRow)];
    const auto& lowerRow = data.deflectionQuantiles[static_cast<std::size_t>(bracket.upperRow + 1)];
    const float upperLeft = static_cast<float>(upperRow[c]);
    const float lowerLeft = static_cast<float>(lowerRow[c]);
    const float a = quantileBetween(upperLeft, static_cast<float>(upperRow[c + 1]) - upperLeft, at.fraction);
    const float b = quantileBetween(lowerLeft, static_cast<float>(lowerRow[c + 1]) - lowerLeft, at.fraction);

    const float cosChi = deflectionCosine(a, b, bracket.energyFraction);
    const float azimuth = azimuthAngle(u2);
    return Deflection{true, cosChi, sineOf(cosChi), std::cos(azimuth), std::sin(azimuth)};
}

}  // namespace engine
