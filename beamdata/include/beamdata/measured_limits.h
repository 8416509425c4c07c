#pragma once
// How much one measured file may hold. A water-tank depth scan has a few hundred points and an
// export a few hundred scans; numbers far beyond these come from a damaged or hostile file, and
// reading them would cost minutes and gigabytes before any figure. Every reader of measured curves
// refuses beyond these limits with a message naming the file and the limit; tests lower them to
// reach them cheaply.
#include <cstddef>
#include <cstdint>

namespace beamdata {

constexpr std::uint64_t MEASURED_FILE_BYTES_MAX = 64ull * 1024 * 1024;  // 64 MB
constexpr std::size_t MEASURED_POINTS_MAX = 1'000'000;                  // points of one curve
constexpr std::size_t MEASURED_SCANS_MAX = 10'000;                      // scans of one file, profiles included

struct MeasuredLimits {
    std::uint64_t fileBytes = MEASURED_FILE_BYTES_MAX;
    std::size_t pointsPerCurve = MEASURED_POINTS_MAX;
    std::size_t scansPerFile = MEASURED_SCANS_MAX;
};

}  // namespace beamdata
