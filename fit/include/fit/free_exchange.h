#pragma once
// The exchange files of a free-form spectrum, byte for byte as the set-up window writes them, so
// that Tolvane (depth dose) or Brisella (kernel) runs the fitted spectrum at once:
//   Nimbrola.dat  " 11.2", "10000000.", "<stem>-free.pdd", "<stem>-free.spct"  (kernel: 3 lines,
//                 "1000000." and "<stem>-free.elk")
//   Nimbrola.txt  two title lines, then "00.01 1.234E-02" ... "01.00 0.000E+00"
// Lines end with CR LF. Weights are relative to the largest ("0.000E+00", four digits); those
// below the simulators' floor of 0.001 are written as 0, as the simulators would take them.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fit {

enum class ExchangeTarget { DepthDose, Kernel };

constexpr std::int32_t DEPTH_DOSE_HISTORIES = 10000000;  // the set-up window's defaults
constexpr std::int32_t KERNEL_HISTORIES = 1000000;
constexpr std::size_t RESULT_NAME_LENGTH = 30;  // the simulators read names as (A30)

struct FreeExchange {
    float maxEnergyMeV = 0.0f;  // on the 0.1 MeV grid
    std::string stem;           // result files <stem>-free.pdd, .spct, .elk
    std::string titleLine1;
    std::string titleLine2;
    std::array<double, 100> relativeWeight{};  // largest 1
};

// The measured file's stem, shortened where needed so that "<stem>-free.spct" keeps within the
// 30 characters the simulators read (a longer name would be cut, and the .pdd and .spct names
// could then fall together).
std::string freeResultStem(const std::filesystem::path& measuredFile);

std::string freeRunFileText(const FreeExchange& exchange, ExchangeTarget target);
std::string freeSpectrumFileText(const FreeExchange& exchange);

// Writes both files into `folder`, whole or not at all: both are written to temporary names
// first and only then renamed. Throws engine::RunError naming the file that failed.
void writeFreeExchangeFiles(const std::filesystem::path& folder, const FreeExchange& exchange, ExchangeTarget target);

}  // namespace fit
