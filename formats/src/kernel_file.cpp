#include "beamdata/kernel_file.h"

#include "beamdata/free_format.h"
#include "engine/record_io.h"

#include <cmath>
#include <vector>

namespace beamdata {

std::string kernelFileText(const engine::RunFile& run, const engine::Spectrum& spectrum,
                           const std::function<float(int depthBin, int ring)>& cell) {
    std::string text = engine::resultHeaderLines(run.maxEnergyMeV, spectrum, run.historyCount);
    const engine::RecordFormat rowFormat(KERNEL_ROW_FORMAT);
    std::vector<engine::OutputItem> row;
    row.reserve(KERNEL_FILE_RADIAL_BINS + 1);
    for (int depth = 1; depth <= KERNEL_FILE_DEPTH_BINS; ++depth) {
        row.clear();
        row.emplace_back(static_cast<float>(depth - engine::DEPTH_LABEL_OFFSET_MM));
        for (int ring = 1; ring <= KERNEL_FILE_RADIAL_BINS; ++ring) row.emplace_back(cell(depth, ring));
        for (const std::string& record : engine::formatRecords(rowFormat, row)) text += record + "\r\n";
    }
    return text;
}

std::optional<KernelFile> readKernelFile(std::string_view textBytes) {
    text::FieldReader reader{std::string(textBytes), text::JoinedNumbers::Split};
    KernelFile file;
    std::optional<std::string> title = reader.readLine();
    if (!title || !reader.readNumber()) return std::nullopt;  // the history count is not used
    file.titleBytes = std::move(*title);
    KernelTable& table = *file.table;
    for (int i = 1; i <= KERNEL_FILE_DEPTH_BINS; ++i) {
        if (!reader.readNumber()) return std::nullopt;  // the depth label is not used
        for (int j = 1; j <= KERNEL_FILE_RADIAL_BINS; ++j) {
            const std::optional<double> value = reader.readNumber();
            if (!value) return std::nullopt;
            const double v = *value;
            table[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = v;
            file.sum += v;
            if (v > file.maxValue) file.maxValue = v;
        }
    }
    if (!(file.maxValue > 0.0) || !std::isfinite(file.sum)) return std::nullopt;
    // No kernel holds a negative cell larger than its maximum; such a file is damaged.
    for (int i = 1; i <= KERNEL_FILE_DEPTH_BINS; ++i)
        for (int j = 1; j <= KERNEL_FILE_RADIAL_BINS; ++j)
            if (table[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] < -file.maxValue) return std::nullopt;
    return file;
}

}  // namespace beamdata
