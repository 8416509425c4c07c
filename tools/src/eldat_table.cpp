#include "tools/eldat_table.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace tools {
namespace {

// The value an "E15.7" field holds: 7 significant digits.
double roundToStoredDigits(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6E", value);
    return static_cast<double>(std::strtof(text, nullptr));
}

}  // namespace

std::vector<double> tableEnergiesKeV() {
    std::vector<double> energies;
    const double logStep = std::log(TABLE_BOTTOM_ENERGY_KEV / TABLE_TOP_ENERGY_KEV) / (TABLE_ROW_COUNT - 1);
    for (int k = 0; k < TABLE_ROW_COUNT; ++k) {
        energies.push_back(roundToStoredDigits(TABLE_TOP_ENERGY_KEV * std::exp(logStep * k)));
    }
    return energies;
}

double sampledMeanCosine(const QuantileRow& row) {
    // Each of the 64 intervals carries probability 1/64 and its mean is the mid-point of its ends.
    double sum = static_cast<double>(row.front()) + static_cast<double>(row.back());
    for (std::size_t c = 1; c + 1 < row.size(); ++c) sum += 2.0 * static_cast<double>(row[c]);
    return sum / (128.0 * COSINE_SCALE);
}

QuantileRow quantileRow(const StepDistribution& distribution) {
    QuantileRow row{};
    long long matchedSum = 0;  // q1 + 2 (q2 + ... + q64), in table units
    for (int c = 1; c < TABLE_COLUMN_COUNT; ++c) {
        const double probability = static_cast<double>(c - 1) / 64.0;
        const double cosine = distribution.cosineQuantile(probability);
        const int stored = static_cast<int>(std::lround(cosine * COSINE_SCALE));
        row[static_cast<std::size_t>(c - 1)] = stored;
        matchedSum += (c == 1) ? stored : 2LL * stored;
    }
    // The true 100 % quantile (-1) would spread the last 1/64 of probability uniformly to 180
    // degrees; instead the last column restores the exact mean cosine of the rounded row.
    const double target = 128.0 * COSINE_SCALE * distribution.meanCosine() - static_cast<double>(matchedSum);
    const long long last = std::llround(target);
    if (last < -COSINE_SCALE || last > row[TABLE_COLUMN_COUNT - 2]) {
        throw std::runtime_error("moment-matched last column falls outside [-16384, column 64]");
    }
    row[TABLE_COLUMN_COUNT - 1] = static_cast<int>(last);
    return row;
}

ScatteringTable buildScatteringTable() {
    ScatteringTable table;
    table.energyKeV = tableEnergiesKeV();
    for (double energyKeV : table.energyKeV) {
        const StepDistribution distribution = computeStepDistribution(energyKeV);
        table.quantiles.push_back(quantileRow(distribution));
        table.exactMeanCosine.push_back(distribution.meanCosine());
    }
    return table;
}

engine::ElectronData toElectronData(const ScatteringTable& table) {
    if (table.quantiles.size() != engine::ENERGY_ROWS || table.energyKeV.size() != engine::ENERGY_ROWS) {
        throw std::runtime_error("the simulators read exactly 24 rows");
    }
    engine::ElectronData data;
    for (std::size_t k = 0; k < table.quantiles.size(); ++k) {
        for (std::size_t c = 0; c < table.quantiles[k].size(); ++c)
            data.deflectionQuantiles[k][c] = table.quantiles[k][c];
        data.tableEnergyKeV[k] = static_cast<float>(table.energyKeV[k]);
    }
    return data;
}

}  // namespace tools
