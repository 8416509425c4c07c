#pragma once
// The dose kernel file (".elk") of Brisella: the header records of the run (engine::resultHeaderLines),
// then per depth bin its label and the 75 rings ("(F5.0,75E10.3)", several records per bin). Brisella
// writes it; the kernel viewer reads it back in free format.
#include "beamdata/exchange_files.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace beamdata {

inline constexpr const char* KERNEL_ROW_FORMAT = "(F5.0,75E10.3)";
inline constexpr int KERNEL_FILE_DEPTH_BINS = engine::DEPTH_BINS;
inline constexpr int KERNEL_FILE_RADIAL_BINS = 75;
inline constexpr int KERNEL_DEPTH_LAST = 150;  // the table's first index runs 0 to 150
inline constexpr int KERNEL_RADIAL_LAST = 75;  // the second index 0 to 75

// The 127-line file (lines end in CR LF); cell(depthBin, ring) gives the scored value of depth bin
// 1..125 and ring 1..75.
std::string kernelFileText(const engine::RunFile& run, const engine::Spectrum& spectrum,
                           const std::function<float(int depthBin, int ring)>& cell);

using KernelTable = std::array<std::array<double, KERNEL_RADIAL_LAST + 1>, KERNEL_DEPTH_LAST + 1>;

struct KernelFile {
    std::string titleBytes;  // line 1 as stored (Greek letters as Shift_JIS pairs)
    std::unique_ptr<KernelTable> table = std::make_unique<KernelTable>();  // entries (1..125, 1..75)
    double sum = 0.0;
    double maxValue = 0.0;
};

// Title, a history count, then 125 rows of a depth label and 75 values, in free format. nullopt
// when a field is missing or no number, when no value is above 0 (the map could not be scaled),
// when the sum is not finite, or when a value lies below minus the maximum (a damaged file).
std::optional<KernelFile> readKernelFile(std::string_view text);

}  // namespace beamdata
