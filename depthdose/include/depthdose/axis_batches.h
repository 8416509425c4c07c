#pragma once
// The statistical uncertainty of Tolvane's depth dose by the batch method: history n belongs to
// batch n modulo the batch count, so that every batch samples the whole spectrum. Each history is
// scored a second time on its own, into a grid of the counter's rings, and its energy per depth bin
// is added to its batch's sums in double precision; the run's own grid receives exactly the same
// deposits in the same order as without the batches.
#include "depthdose/field_geometry.h"
#include "engine/kernel_grid.h"

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

namespace depthdose {

constexpr int UNCERTAINTY_BATCHES = 40;

using AxisDose = std::array<float, engine::KernelGrid::DEPTH_BINS>;

// The axis counter's energy (keV, before normalisation) per depth bin and batch, with the number
// of histories of each batch.
struct AxisBatches {
    int batchCount = UNCERTAINTY_BATCHES;
    std::vector<double> energyKeV;        // batch b, depth bin j (1..125) at b * 125 + j - 1
    std::vector<std::int64_t> histories;  // per batch
    double at(int batch, int depthBin) const {
        return energyKeV[static_cast<std::size_t>(batch * engine::KernelGrid::DEPTH_BINS + depthBin - 1)];
    }
};

// The scorer of a Tolvane run: hands every step to the run's grid unchanged and keeps the batch
// sums beside it.
class AxisBatchScorer {
public:
    explicit AxisBatchScorer(engine::KernelGrid& grid, int batchCount = UNCERTAINTY_BATCHES);

    bool mayScore(const engine::Point& start, const engine::Point& end) const { return grid_.mayScore(start, end); }

    void depositStep(const engine::Point& start, const engine::Point& end, float energyKeV) {
        grid_.depositStep(start, end, energyKeV);
        history_.depositStep(start, end, energyKeV);
        // A step scores only in the slabs between its two depths.
        const bool startShallower = start.z < end.z;
        const int shallow = engine::KernelGrid::binOf(startShallower ? start.z : end.z);
        const int deep = engine::KernelGrid::binOf(startShallower ? end.z : start.z);
        if (shallow < firstDepth_) firstDepth_ = shallow;
        if (deep > lastDepth_) lastDepth_ = deep;
    }

    // The history is complete: its energy goes to its batch, and the next history to the next batch.
    void endHistory() {
        if (firstDepth_ <= lastDepth_) addHistoryToBatch();
        ++batches_.histories[static_cast<std::size_t>(batch_)];
        if (++batch_ == batches_.batchCount) batch_ = 0;
    }

    const AxisBatches& batches() const { return batches_; }

private:
    void addHistoryToBatch();

    engine::KernelGrid& grid_;
    engine::KernelGrid history_{AXIS_COUNTER_RINGS};  // the current history only
    AxisBatches batches_;
    int batch_ = 0;
    int firstDepth_ = INT_MAX;  // depth bins the current history may have scored in
    int lastDepth_ = INT_MIN;
};

// The standard uncertainty (1 sd) of the relative dose, in the unit of `dose` (its largest value
// is 1), from the spread of the batches. The relative dose is the ratio D(z) / D(m) of two sums
// over the same histories, m the bin that holds the largest value; each batch's ratio is taken to
// first order about the run's, so that the fluctuation of D(m) and its correlation with D(z) are
// both in the estimate, and the bin m itself, 1 by definition, has none. All zeros when the
// counter is empty or fewer than two batches hold histories.
AxisDose relativeDoseUncertainty(const AxisBatches& batches, const AxisDose& dose);

}  // namespace depthdose
