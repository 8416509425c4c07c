#include "fit/basis_cache.h"

#include "engine/run_error.h"
#include "engine/run_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace fit {

namespace {

constexpr std::uint64_t FNV_OFFSET = 14695981039346656037ULL;
constexpr std::uint64_t FNV_PRIME = 1099511628211ULL;
// Layout 2 adds, after the curves, the Monte Carlo variance of every curve's slabs, one line per
// curve in the same order; a file of layout 1 does not match the title and is simulated anew.
constexpr const char* TITLE = "Orvalis fit basis: axis counter energy per history (keV), layout 2";
constexpr double ENERGY_MARGIN = 1.000001;  // the sum of a curve's slabs in double, against its energy

std::string hex(std::uint64_t value) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string layoutLine(std::size_t curveCount) {
    return "counters " + std::to_string(COUNTERS_PER_SIDE) + "x" + std::to_string(COUNTERS_PER_SIDE) + " curves " +
           std::to_string(curveCount) + " slabs " + std::to_string(DEPTH_BINS);
}

std::string energyText(float maxEnergyMeV) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(maxEnergyMeV));
    return text;
}

// One line of a block of curves: an energy and a value per slab. Every line is written with its
// line end: a last line without one is cut off, and its last number may read as a shorter one.
enum class CurveLine { Missing, Unreadable, Read };
CurveLine readCurveLine(std::istream& in, float& energy, DepthCurve& values) {
    std::string line;
    if (!std::getline(in, line) || in.eof()) return CurveLine::Missing;
    std::istringstream fields(line);
    fields >> energy;
    for (double& value : values) fields >> value;
    return fields.fail() ? CurveLine::Unreadable : CurveLine::Read;
}

}  // namespace

std::uint64_t contentHash(const std::filesystem::path& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        throw engine::RunError(path.filename().string(), 0, "is a folder, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw engine::RunError(path.filename().string(), 0, "cannot be opened for reading");
    std::uint64_t hash = FNV_OFFSET;
    for (std::istreambuf_iterator<char> it(in), end; it != end; ++it) {
        hash ^= static_cast<unsigned char>(*it);
        hash *= FNV_PRIME;
    }
    return hash;
}

std::string basisCacheFileName(float centreMaxEnergyMeV) {
    return "fit-basis-" + energyText(centreMaxEnergyMeV) + "MeV.txt";
}

std::string basisCacheText(const AxisBasis& basis, std::uint64_t eldatHash) {
    std::string text = std::string(TITLE) + "\n";
    text += "ELDAT.dat " + hex(eldatHash) + "\n";
    text += "maximum energy MeV " + energyText(basis.centreMaxEnergyMeV) + "\n";
    text += "histories per curve " + std::to_string(basis.historiesPerCurve) + "\n";
    text += layoutLine(basis.curve.size()) + "\n";
    char number[32];
    for (std::size_t k = 0; k < basis.curve.size(); ++k) {
        std::snprintf(number, sizeof number, "%.9g", static_cast<double>(basis.energyKeV[k]));
        text += number;
        for (double value : basis.curve[k]) {
            std::snprintf(number, sizeof number, " %.17g", value);
            text += number;
        }
        text += "\n";
    }
    for (std::size_t k = 0; k < basis.curve.size(); ++k) {
        std::snprintf(number, sizeof number, "%.9g", static_cast<double>(basis.energyKeV[k]));
        text += number;
        for (std::size_t s = 0; s < DEPTH_BINS; ++s) {
            const double value = k < basis.variance.size() ? basis.variance[k][s] : 0.0;
            std::snprintf(number, sizeof number, " %.9g", value);
            text += number;
        }
        text += "\n";
    }
    return text;
}

void saveBasis(const std::filesystem::path& path, const AxisBasis& basis, std::uint64_t eldatHash) {
    engine::writeFileAtomically(path, basisCacheText(basis, eldatHash));
}

std::optional<AxisBasis> loadBasis(const std::filesystem::path& path, float centreMaxEnergyMeV,
                                   std::int32_t historiesPerCurve, int curveCount, std::uint64_t eldatHash,
                                   std::string& reason) {
    std::ifstream in(path);
    if (!in) {
        reason = "no basis file yet";
        return std::nullopt;
    }
    std::string line;
    const std::string expected[] = {
        TITLE, "ELDAT.dat " + hex(eldatHash), "maximum energy MeV " + energyText(centreMaxEnergyMeV),
        "histories per curve " + std::to_string(historiesPerCurve), layoutLine(static_cast<std::size_t>(curveCount))};
    const char* mismatch[] = {"not a basis file of this layout", "made with another ELDAT.dat",
                              "made for another maximum energy", "made with another number of histories",
                              "made with another scoring layout or span"};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        if (!std::getline(in, line) || line != expected[i]) {
            reason = mismatch[i];
            return std::nullopt;
        }
    }
    const auto damaged = [&reason](const std::string& why) {
        reason = "damaged: " + why;
        return std::optional<AxisBasis>();
    };
    AxisBasis basis;
    basis.centreMaxEnergyMeV = centreMaxEnergyMeV;
    basis.historiesPerCurve = historiesPerCurve;
    for (int k = 1; k <= curveCount; ++k) {
        float energy = 0.0f;
        DepthCurve curve{};
        const CurveLine read = readCurveLine(in, energy, curve);
        if (read == CurveLine::Missing) return damaged("it ends early");
        if (read == CurveLine::Unreadable || energy != basisEnergyKeV(centreMaxEnergyMeV, k))
            return damaged("curve " + std::to_string(k) + " cannot be read");
        // Energy per history in the counters: never negative, and all slabs together never more
        // than the electron brings (a history's step shares its loss, and counters do not overlap).
        double total = 0.0;
        for (double value : curve) {
            if (!std::isfinite(value) || value < 0.0) {
                reason = "damaged: curve " + std::to_string(k) + " holds an impossible value";
                return std::nullopt;
            }
            total += value;
        }
        if (!(total <= static_cast<double>(energy) * ENERGY_MARGIN)) {
            reason = "damaged: curve " + std::to_string(k) + " holds more energy than its electrons bring";
            return std::nullopt;
        }
        basis.energyKeV.push_back(energy);
        basis.curve.push_back(curve);
    }
    for (int k = 1; k <= curveCount; ++k) {
        float energy = 0.0f;
        DepthCurve variance{};
        const CurveLine read = readCurveLine(in, energy, variance);
        if (read == CurveLine::Missing) return damaged("it ends early");
        const bool possible = std::all_of(variance.begin(), variance.end(),
                                          [](double v) { return std::isfinite(v) && v >= 0.0; });
        if (read == CurveLine::Unreadable || energy != basis.energyKeV[static_cast<std::size_t>(k - 1)] || !possible)
            return damaged("the variance of curve " + std::to_string(k) + " cannot be read");
        basis.variance.push_back(variance);
    }
    return basis;
}

}  // namespace fit
