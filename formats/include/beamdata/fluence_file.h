#pragma once
// The fluence file (".spct") of a depth-dose run, the spectrum Tolvane simulated: the file name, a
// heading line, then per spectrum bin its energy (MeV) and its normalised weight ("(E10.4,', ',E10.4)").
// Tolvane writes it; the spectrum display reads it back in free format, at most 100 pairs.
#include "beamdata/exchange_files.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace beamdata {

inline constexpr const char* FLUENCE_HEADING_FORMAT = "(' ','[MeV] ,  Fluence')";
inline constexpr const char* FLUENCE_ROW_FORMAT = "(E10.4,', ',E10.4)";
inline constexpr int FLUENCE_POINTS_MAX = 100;

// The 102-line file (lines end in CR LF): the name variable as read from the run file, the heading,
// then each bin's energy and weight of the normalised spectrum.
std::string fluenceFileText(const std::string& fluenceNameVariable, const engine::Spectrum& spectrum);

enum class FluenceError {
    Unreadable,     // missing lines, a field that is no number, or a fluence below minus the largest
    TooManyPoints,  // more than 100 data lines
    AllZero,        // no fluence above 0: the curve could not be scaled to 100
};

struct FluencePoint {
    double energyMeV;
    double fluence;
};

struct FluenceSpectrum {
    std::string titleLine;             // line 1 as stored, trailing blanks included
    std::vector<FluencePoint> points;  // in file order, 1 to 100 of them
    double fluenceMax = 0.0;           // largest fluence of the file
};

struct FluenceRead {
    std::optional<FluenceSpectrum> spectrum;
    FluenceError error = FluenceError::Unreadable;  // meaningful when spectrum is empty
};

FluenceRead readFluenceFile(std::string_view text);

}  // namespace beamdata
