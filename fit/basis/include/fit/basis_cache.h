#pragma once
// The basis kept in the working folder, one file per maximum energy, so that a second fit at the
// same energy starts at once. The header holds a content hash of ELDAT.dat, the energy, the
// histories per curve and the scoring layout; a file that does not match them all is not used.
#include "fit/axis_basis.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace fit {

// FNV-1a 64-bit hash of a file's bytes. Throws engine::RunError when the file cannot be read.
std::uint64_t contentHash(const std::filesystem::path& path);

// "fit-basis-9.0MeV.txt" for 9.0 MeV.
std::string basisCacheFileName(float centreMaxEnergyMeV);

std::string basisCacheText(const AxisBasis& basis, std::uint64_t eldatHash);

// Writes the file whole or not at all. Throws engine::RunError when it cannot be written.
void saveBasis(const std::filesystem::path& path, const AxisBasis& basis, std::uint64_t eldatHash);

// The basis in the file when it exists, is complete and matches every key; otherwise empty, with
// `reason` saying why (missing, other ELDAT.dat, other histories, damaged).
std::optional<AxisBasis> loadBasis(const std::filesystem::path& path, float centreMaxEnergyMeV,
                                   std::int32_t historiesPerCurve, int curveCount, std::uint64_t eldatHash,
                                   std::string& reason);

}  // namespace fit
