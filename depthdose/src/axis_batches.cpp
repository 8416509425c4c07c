#include "depthdose/axis_batches.h"

#include <algorithm>
#include <cmath>

namespace depthdose {

using engine::KernelGrid;

AxisBatchScorer::AxisBatchScorer(KernelGrid& grid, int batchCount) : grid_(grid) {
    batches_.batchCount = std::max(batchCount, 1);
    batches_.energyKeV.assign(static_cast<std::size_t>(batches_.batchCount * KernelGrid::DEPTH_BINS), 0.0);
    batches_.histories.assign(static_cast<std::size_t>(batches_.batchCount), 0);
}

void AxisBatchScorer::addHistoryToBatch() {
    const int from = std::max(firstDepth_, 1);
    const int to = std::min(lastDepth_, KernelGrid::DEPTH_BINS);
    double* sums = batches_.energyKeV.data() + static_cast<std::ptrdiff_t>(batch_) * KernelGrid::DEPTH_BINS;
    for (int depth = from; depth <= to; ++depth) {
        double energy = 0.0;
        for (int ring = 1; ring <= AXIS_COUNTER_RINGS; ++ring)
            energy += static_cast<double>(history_.cell(depth, ring));
        sums[depth - 1] += energy;
    }
    history_.clearDepths(from, to);
    firstDepth_ = INT_MAX;
    lastDepth_ = INT_MIN;
}

AxisDose relativeDoseUncertainty(const AxisBatches& batches, const AxisDose& dose) {
    AxisDose uncertainty{};
    constexpr int BINS = KernelGrid::DEPTH_BINS;
    // The normalisation bin: the first that holds the largest value, as the division made it 1.
    const auto largest = std::max_element(dose.begin(), dose.end());
    if (!(*largest > 0.0f)) return uncertainty;
    const int normBin = static_cast<int>(largest - dose.begin()) + 1;

    std::vector<int> used;  // batches that hold histories
    std::int64_t histories = 0;
    for (int b = 0; b < batches.batchCount; ++b) {
        const std::int64_t count = batches.histories[static_cast<std::size_t>(b)];
        if (count > 0) used.push_back(b);
        histories += count;
    }
    if (used.size() < 2) return uncertainty;
    double normTotal = 0.0;
    for (int b : used) normTotal += batches.at(b, normBin);
    if (!(normTotal > 0.0)) return uncertainty;

    const auto usedCount = static_cast<double>(used.size());
    std::vector<double> deviation(used.size());
    for (int depth = 1; depth <= BINS; ++depth) {
        double total = 0.0;
        for (int b : used) total += batches.at(b, depth);
        const double ratio = total / normTotal;
        // Each batch's estimate of the whole run, D_b(z) - r D_b(m) scaled to all histories: the
        // ratio's deviation to first order.
        double mean = 0.0;
        for (std::size_t k = 0; k < used.size(); ++k) {
            const int b = used[k];
            const double scale = static_cast<double>(histories) /
                                 static_cast<double>(batches.histories[static_cast<std::size_t>(b)]);
            deviation[k] = (batches.at(b, depth) - ratio * batches.at(b, normBin)) * scale;
            mean += deviation[k];
        }
        mean /= usedCount;
        double squares = 0.0;
        for (double value : deviation) squares += (value - mean) * (value - mean);
        const double variance = squares / (usedCount * (usedCount - 1.0));
        uncertainty[static_cast<std::size_t>(depth - 1)] = static_cast<float>(std::sqrt(variance) / normTotal);
    }
    return uncertainty;
}

}  // namespace depthdose
