#pragma once
// The two exchange files that hand one calculation to a simulator: the run file Nimbrola.dat and
// the spectrum file Nimbrola.txt. Lines end with CR LF; the letters alpha and beta of the title
// lines are written as their Shift_JIS bytes, so files stay interchangeable with the home system.
#include <filesystem>
#include <string>

#include "common/beta_spectrum.h"

namespace orvalis {

inline constexpr const char* RUN_FILE_NAME = "Nimbrola.dat";
inline constexpr const char* SPECTRUM_FILE_NAME = "Nimbrola.txt";
inline constexpr const char* ALPHA_SHIFT_JIS = "\x83\xBF";
inline constexpr const char* BETA_SHIFT_JIS = "\x83\xC0";

enum class CalculationKind { DepthDose, Kernel };

struct ExchangeContent {
    CalculationKind kind = CalculationKind::DepthDose;
    double maxEnergyMeV = 0.0;
    std::string historyText;     // written as typed, followed by "."
    std::string resultBaseName;  // file name without extension
    double alpha = 0.0;
    double beta = 0.0;
    SpectrumArray specRelative{};  // points 1..100 are written
};

// Extension of the result file: ".pdd" for a depth dose, ".elk" for a kernel.
std::string resultExtension(CalculationKind kind);
// Extension of the fluence file written by a depth-dose run.
inline constexpr const char* FLUENCE_EXTENSION = ".spct";

// The exact bytes of each file.
std::string runFileBytes(const ExchangeContent& content);
std::string spectrumFileBytes(const ExchangeContent& content);

// Creates or replaces both files in folder, run file first. Throws FileError naming the file
// that could not be written completely.
void writeExchangeFiles(const std::filesystem::path& folder, const ExchangeContent& content);

}  // namespace orvalis
