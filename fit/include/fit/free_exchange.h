#pragma once
// The exchange files of a free-form spectrum, written by the set-up window's own writer so that
// Tolvane (depth dose) or Brisella (kernel) runs the fitted spectrum at once:
//   Nimbrola.dat  " 11.2", "10000000.", "<stem>-free.pdd", "<stem>-free.spct"  (kernel: 3 lines,
//                 "1000000." and "<stem>-free.elk")
//   Nimbrola.txt  two title lines, then "00.01 1.234E-02" ... "01.00 0.000E+00"
// Weights are relative to the largest; those the simulators would read below their floor of 0.001
// are written as 0, as the simulators would take them.
#include "beamdata/exchange_files.h"

#include <array>
#include <filesystem>
#include <string>

namespace fit {

struct FreeExchange {
    float maxEnergyMeV = 0.0f;  // on the 0.1 MeV grid
    std::string stem;           // result files <stem>-free.pdd, .spct, .elk
    std::string titleLine1;
    std::string titleLine2;
    std::array<double, 100> relativeWeight{};  // bins 1..100, largest 1
};

// The measured file's stem, shortened where needed so that "<stem>-free.spct" keeps within the
// 30 characters the simulators read (a longer name would be cut, and the .pdd and .spct names
// could then fall together).
std::string freeResultStem(const std::filesystem::path& measuredFile);

// What the set-up window would write for this spectrum: its default history count for the kind of
// calculation, the result name "<stem>-free".
beamdata::ExchangeContent freeExchangeContent(const FreeExchange& exchange, beamdata::CalculationKind kind);

}  // namespace fit
