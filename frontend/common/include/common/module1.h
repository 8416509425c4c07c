#pragma once
// Data shared by the front end's windows for the whole life of the process. One instance is
// owned by the application and handed to every window by reference. Arrays are never resized,
// and values never written read as 0.
#include <array>

#include "beamdata/beta_spectrum.h"
#include "beamdata/range_energy.h"

namespace orvalis {

using beamdata::SPECTRUM_LAST_POINT;           // Beta points j = 0..100 at x = j/100
inline constexpr int PDD_LAST_RECORD = 150;    // depth-dose records 1..150
inline constexpr int KERNEL_LAST_DEPTH = 150;  // kernel table first index 0..150
inline constexpr int KERNEL_LAST_RING = 75;    // kernel table second index 0..75

// The names follow the system's own vocabulary, so they read the same in code and in talk.
struct Module1 {
    // Range-energy table of water (CsdaEnergy and CsdaRange): energy (MeV) and CSDA range (cm).
    beamdata::RangeEnergyTable rangeTable{};
    // Beta density at x = j/100 and the same divided by its largest value; the spectrum display
    // puts the energy (MeV) and fluence of a loaded spectrum file here instead.
    std::array<double, SPECTRUM_LAST_POINT + 1> SpecDensity{};
    std::array<double, SPECTRUM_LAST_POINT + 1> SpecRelative{};
    // Depth-dose comparison: relative dose and depth (mm) of the curve loaded last.
    std::array<double, PDD_LAST_RECORD + 1> PddDose{};
    std::array<double, PDD_LAST_RECORD + 1> PddDepth{};
    // True while PddDose holds a calculated curve; the depth-dose cursor read-out needs it.
    bool CalcCurveShown = false;
    // Dose kernel by depth bin (0..150) and radial ring (0..75); index 0 of either stays 0.
    std::array<std::array<double, KERNEL_LAST_RING + 1>, KERNEL_LAST_DEPTH + 1> KernelTable{};
    // True from the first time a kernel file is chosen for display.
    bool KernelShown = false;
};

}  // namespace orvalis
