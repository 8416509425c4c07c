#pragma once
// The multiple-scattering table of the simulators: 24 energies, 65 deflection-cosine quantiles
// per energy, built from the Goudsmit-Saunderson step distribution.
#include "tools/gs_scattering.h"

#include "engine/electron_data.h"

#include <array>
#include <string>
#include <vector>

namespace tools {

constexpr int TABLE_ROW_COUNT = 24;
constexpr int TABLE_COLUMN_COUNT = 65;
constexpr int COSINE_SCALE = 16384;                // cosine 1 is stored as 16384
constexpr double TABLE_TOP_ENERGY_KEV = 60000.0;   // above every clinical maximum energy
constexpr double TABLE_BOTTOM_ENERGY_KEV = 300.0;  // just below the 305 keV final-step threshold

using QuantileRow = std::array<int, TABLE_COLUMN_COUNT>;

struct ScatteringTable {
    std::vector<double> energyKeV;        // strictly descending, each exactly as the file stores it
    std::vector<QuantileRow> quantiles;   // cos x 16384 at probability (c-1)/64, largest cosine first
    std::vector<double> exactMeanCosine;  // exp(-G_1) of each row
};

// The 24 row energies: evenly spaced in log energy from 60 MeV down to 300 keV, each rounded to
// the 7 significant digits of its "E15.7" field, so that the physics of a row belongs to the very
// energy the simulators read.
std::vector<double> tableEnergiesKeV();

// Mean cosine of a row as the engine samples it: uniform probability, linear between columns.
double sampledMeanCosine(const QuantileRow& row);

// One row: columns 1..64 are the rounded GS quantiles; column 65 is the integer that makes the
// sampled mean of the rounded row closest to the exact mean cosine.
QuantileRow quantileRow(const StepDistribution& distribution);

ScatteringTable buildScatteringTable();

// The table as the simulators hold it (energies as 32-bit reals), ready for engine::saveElectronData.
engine::ElectronData toElectronData(const ScatteringTable& table);

}  // namespace tools
