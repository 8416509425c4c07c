#pragma once
// The two exchange files that hand one calculation to a simulator: the run file Nimbrola.dat and
// the spectrum file Nimbrola.txt. Lines end with CR LF; the letters alpha and beta of a Beta
// spectrum's title lines are written as their Shift_JIS bytes, so files stay interchangeable with
// the home system. The simulators' reader of both files is engine::readRunFile and
// engine::readSpectrumFile.
#include <cstddef>
#include <filesystem>
#include <string>

#include "beamdata/beta_spectrum.h"

namespace beamdata {

inline constexpr const char* ALPHA_SHIFT_JIS = "\x83\xBF";
inline constexpr const char* BETA_SHIFT_JIS = "\x83\xC0";
inline constexpr const char* DEPTH_DOSE_EXTENSION = ".pdd";
inline constexpr const char* KERNEL_EXTENSION = ".elk";
inline constexpr const char* FLUENCE_EXTENSION = ".spct";   // the fluence file of a depth-dose run
inline constexpr const char* WEIGHT_PATTERN = "0.000E+00";  // four significant digits

enum class CalculationKind { DepthDose, Kernel };

// The set-up window's history counts of a depth-dose and of a kernel calculation.
inline constexpr const char* DEPTH_DOSE_HISTORY_TEXT = "10000000";
inline constexpr const char* KERNEL_HISTORY_TEXT = "1000000";
// The simulators read a result name in a 30-character field; a longer one would be cut.
inline constexpr std::size_t RESULT_NAME_FIELD_WIDTH = 30;

struct ExchangeContent {
    CalculationKind kind = CalculationKind::DepthDose;
    double maxEnergyMeV = 0.0;   // written " #0.0"
    std::string historyText;     // written as typed, followed by "."
    std::string resultBaseName;  // file name without extension
    std::string titleLine1;      // the spectrum file's two title lines, as bytes
    std::string titleLine2;
    SpectrumArray relativeWeight{};  // points 1..100 are the weights of bins 1..100
};

// The title lines of a Beta spectrum: alpha and beta in Shift_JIS, "=", the value "###.0".
std::string alphaTitleLine(double alpha);
std::string betaTitleLine(double beta);

// A bin weight as the spectrum file holds it, and as the simulators read that text back.
std::string weightText(double relativeWeight);
float weightAsRead(double relativeWeight);
// The relative energy of bin i as the spectrum file holds it: "00.01" for bin 1, "01.00" for bin 100
// (bins beyond 100, which only the fit's basis uses, continue "01.01", ...).
std::string relativeEnergyText(int bin);

// Extension of the result file: ".pdd" for a depth dose, ".elk" for a kernel.
std::string resultExtension(CalculationKind kind);
// The names the run file gives the results: the depth dose or kernel, and a depth dose's fluence file.
std::string resultFileName(const ExchangeContent& content);
std::string fluenceFileName(const ExchangeContent& content);

// The exact bytes of each file.
std::string runFileBytes(const ExchangeContent& content);
std::string spectrumFileBytes(const ExchangeContent& content);

// Creates or replaces both files in folder: both are written under temporary names first and then
// renamed into place, so a file that cannot be written leaves the earlier files as they were.
// Throws engine::RunError naming the file that could not be written.
void writeExchangeFiles(const std::filesystem::path& folder, const ExchangeContent& content);

}  // namespace beamdata
