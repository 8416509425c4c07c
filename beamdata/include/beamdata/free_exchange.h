#pragma once
// The exchange files of a fitted free-form spectrum, written by the set-up window's own writer so that
// Tolvane (depth dose) or Brisella (kernel) runs the fitted spectrum at once:
//   Nimbrola.dat  " 11.2", "10000000.", "<stem>-free.pdd", "<stem>-free.spct"  (kernel: 3 lines,
//                 "1000000." and "<stem>-free.elk")
//   Nimbrola.txt  "free-form fit", "background 1.9 % left out" (or "no background"), then
//                 "00.01 1.234E-02" ... "01.00 0.000E+00"
// Weights are relative to the largest; those the simulators would read below their floor of 0.001
// are written as 0, as the simulators would take them. Both orvalis-fit --exchange and the fit
// window write them from the fit's RESULT records, so the two cannot differ.
#include "beamdata/exchange_files.h"
#include "beamdata/fit_protocol.h"

#include <filesystem>
#include <string>

namespace beamdata {

// The measured file's stem, shortened where needed so that "<stem>-free.spct" keeps within the
// 30 characters the simulators read (a longer name would be cut, and the .pdd and .spct names
// could then fall together).
std::string freeResultStem(const std::filesystem::path& measuredFile);

// What the set-up window would write for the spectrum that the fit's RESULT records hand over
// ("run-spectrum", emax, and the background left out unless "no-background"): its default history
// count for the kind of calculation, the result name "<stem>-free" of the measured file.
ExchangeContent freeExchangeContent(const FreeFitOutput& fit, const std::filesystem::path& measuredFile,
                                    CalculationKind kind);

}  // namespace beamdata
