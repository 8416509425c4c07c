#pragma once
// The two exchange files that hand one calculation to a simulator: the run file Nimbrola.dat and
// the spectrum file Nimbrola.txt. Lines end with CR LF; the letters alpha and beta of a Beta
// spectrum's title lines are written as their Shift_JIS bytes, so files stay interchangeable with
// the home system. The writer is the programs' (namespace beamdata); the reader is the simulators'
// (namespace engine, as the run frame that uses it), with the header records that every result
// file copies from the two files.
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>

#include "beamdata/spectrum_points.h"
#include "engine/constants.h"

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

namespace engine {

constexpr const char* NAME_FORMAT = "(A30)";
constexpr const char* SPECTRUM_LINE_FORMAT = "(F5.2,E10.3)";
constexpr const char* HEADER_FORMAT = "(F6.2,' MeV ',2A20)";
constexpr const char* HISTORY_COUNT_FORMAT = "(F11.0)";
// Real history counts at or beyond 2^31 cannot become 32-bit whole counts: the run file's count
// is refused from here on, and the set-up window refuses it before writing the file.
constexpr float HISTORY_COUNT_LIMIT = 2147483648.0f;

// Which simulator reads the run file: the kernel run has three records, the depth-dose run a
// fourth one with the fluence file name.
enum class RunKind { Kernel, DepthDose };

struct RunFile {
    float maxEnergyMeV = 0.0f;
    float historyCount = 0.0f;    // a real: only its products with the weights become counts
    std::string resultFileName;   // 30 characters, blank-padded
    std::string fluenceFileName;  // 30 characters; depth-dose runs only
    // The lines of Nimbrola.dat that held the values (a list-directed read passes empty lines).
    int historyCountLine = 2;
    int resultNameLine = 3;
    int fluenceNameLine = 4;
};

struct Spectrum {
    std::string titleLine1;  // 30 bytes each, copied unchanged into the result files
    std::string titleLine2;
    std::array<float, SPECTRUM_BINS> relativeEnergy{};
    std::array<float, SPECTRUM_BINS> binWeight{};  // floored as read; normalised to sum 1 later
    std::array<float, SPECTRUM_BINS> binEnergyKeV{};
};

// Reads Nimbrola.dat: maximum energy and history count list-directed, the names with "(A30)".
// Refuses, naming the line, a maximum energy that is not a positive number or does not fit the
// results' header field ("F6.2", below 1000 MeV), and a count too large for whole counts.
RunFile readRunFile(const std::filesystem::path& path, RunKind kind);

// Reads Nimbrola.txt: two title lines with "(A30)", then 100 spectrum lines with "(F5.2,E10.3)";
// each weight below the floor is set to 0 as soon as its line is read.
Spectrum readSpectrumFile(const std::filesystem::path& path);

// The two header records shared by the kernel and depth-dose result files, each ended by CR LF.
std::string resultHeaderLines(float maxEnergyMeV, const Spectrum& spectrum, float historyCount);

}  // namespace engine
