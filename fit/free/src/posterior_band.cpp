#include "fit/posterior_band.h"

#include "engine/run_error.h"
#include "fit/beta_weights.h"
#include "fit/penalised_nnls.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

namespace fit {

namespace {

constexpr std::size_t BINS = engine::SPECTRUM_BINS;
constexpr double LOW_QUANTILE = 0.5 * (1.0 - INTERVAL_LEVEL);
constexpr double HIGH_QUANTILE = 1.0 - LOW_QUANTILE;
constexpr double PERCENT = 100.0;
constexpr std::size_t THREADS = 2;
// Correlation of a basis curve's Monte Carlo noise between neighbouring 1 mm slabs: an electron
// crosses several slabs before it stops, and a run's fall-off moves as a whole.
constexpr double BASIS_NOISE_CORRELATION = 0.8;

// What one sample gives.
struct Draw {
    bool solved = false;
    double meanEnergyMeV = 0.0;
    double peakEnergyMeV = 0.0;
    LevelDepths level{};
    std::array<double, BINS> spectrum{};  // sum 1
};

double modelAt(const FreeLinearModel& m, const BinCurves& curves, const std::vector<double>& x, double depthMm) {
    std::vector<double> row;
    m.appendRow(curves, depthMm, row);
    double sum = 0.0;
    for (std::size_t j = 0; j < row.size(); ++j) sum += row[j] * x[j];
    return sum;
}

Draw drawSample(const FreeLinearModel& m, const PosteriorInput& in, double dataSigma, std::uint64_t index) {
    std::mt19937_64 generator(in.seed * 0x9E3779B97F4A7C15ULL + index);
    std::normal_distribution<double> normal;
    BinCurves curves = m.curves;
    if (!in.binVariance.empty())
        for (std::size_t j = 0; j < BINS; ++j) {
            if (!m.allowed[j]) continue;
            // Correlated along the depth: one history scores in many consecutive slabs.
            double shift = normal(generator);
            for (std::size_t s = 0; s < curves[j].size(); ++s) {
                if (s > 0)
                    shift = BASIS_NOISE_CORRELATION * shift +
                            std::sqrt(1.0 - BASIS_NOISE_CORRELATION * BASIS_NOISE_CORRELATION) * normal(generator);
                curves[j][s] += std::sqrt(in.binVariance[j][s]) * shift;
            }
        }
    const std::size_t n = m.columns();
    std::vector<double> h(n * n, 0.0);
    std::vector<double> b(n, 0.0);
    std::vector<double> row;
    // The sample's largest reading: the fit holds its model at the measurement's largest reading, so
    // each sample's R-values are read relative to its own, noise and all.
    double topReading = -std::numeric_limits<double>::infinity();
    double topDepthMm = 0.0;
    for (std::size_t i = 0; i < in.fittedDepthMm.size(); ++i) {
        row.clear();
        m.appendRow(curves, in.fittedDepthMm[i], row);
        const double y = in.fittedRelative[i] + dataSigma * normal(generator);
        if (y > topReading) {
            topReading = y;
            topDepthMm = in.fittedDepthMm[i];
        }
        for (std::size_t r = 0; r < n; ++r) {
            if (row[r] == 0.0) continue;
            b[r] += row[r] * y;
            for (std::size_t c = 0; c < n; ++c) h[r * n + c] += row[r] * row[c];
        }
    }
    // The prior's second differences, each drawn from its own spread sigma / sqrt(s).
    const double priorShift = std::sqrt(in.smooth * in.noiseVariance);
    const double stencil[3] = {1.0, -2.0, 1.0};
    for (std::size_t j = 1; j + 1 < BINS; ++j) {
        const double e = priorShift * normal(generator);
        for (std::size_t a = 0; a < 3; ++a) {
            b[j - 1 + a] += stencil[a] * e;
            for (std::size_t c = 0; c < 3; ++c) h[(j - 1 + a) * n + (j - 1 + c)] += in.smooth * stencil[a] * stencil[c];
        }
    }
    Draw d;
    const auto x = boxQuadraticProgramme(h, b, in.lower, in.upper, in.solution);
    if (!x) return d;
    double total = 0.0;
    std::size_t peak = 0;
    for (std::size_t j = 0; j < BINS; ++j) {
        const double energyMeV = static_cast<double>(relativeBinEnergy(static_cast<int>(j) + 1) * in.maxEnergyMeV);
        total += (*x)[j];
        d.meanEnergyMeV += (*x)[j] * energyMeV;
        if ((*x)[j] > (*x)[peak]) peak = j;
    }
    if (!(total > 0.0)) return d;
    d.meanEnergyMeV /= total;
    d.peakEnergyMeV = static_cast<double>(relativeBinEnergy(static_cast<int>(peak) + 1) * in.maxEnergyMeV);
    for (std::size_t j = 0; j < BINS; ++j) d.spectrum[j] = (*x)[j] / total;
    MeasuredCurve sampled;
    for (double depth : in.measuredDepthMm) {
        sampled.depthMm.push_back(depth);
        sampled.dose.push_back(depth == topDepthMm ? topReading : std::min(modelAt(m, curves, *x, depth), topReading));
    }
    d.level = measuredLevels(sampled);
    d.solved = true;
    return d;
}

// The model's variance from the basis noise at a depth, for the fitted unknowns.
double basisVarianceAt(const FreeLinearModel& m, const PosteriorInput& in, double depthMm) {
    double sum = 0.0;
    for (std::size_t j = 0; j < BINS; ++j) {
        if (!m.allowed[j] || in.solution[j] == 0.0) continue;
        const double w = in.solution[j] / m.scale;
        sum += w * w * resultCurveAt(in.binVariance[j], depthMm);
    }
    return sum;
}

// The spread of the samples about their median: the fit itself holds the model at the measured
// maximum, which the samples do not, so their centre may sit beside the fit's value while their
// spread is the posterior's. The caller sets the bounds about the value by these distances.
Interval spread(const std::vector<double>& values) {
    Interval i;
    const double median = quantile(values, 0.5);
    i.low = median - quantile(values, LOW_QUANTILE);
    i.high = quantile(values, HIGH_QUANTILE) - median;
    return i;
}

}  // namespace

std::size_t FreeLinearModel::columns() const { return BINS + (background ? 1 : 0); }

void FreeLinearModel::appendRow(const BinCurves& curvesUsed, double depthMm, std::vector<double>& rows) const {
    for (std::size_t j = 0; j < BINS; ++j)
        rows.push_back(allowed[j] ? resultCurveAt(curvesUsed[j], depthMm) / scale : 0.0);
    if (background) rows.push_back(background->shapeAt(depthMm));
}

double quantile(std::vector<double> values, double q) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
    if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    const double position = q * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(position));
    const std::size_t above = std::min(below + 1, values.size() - 1);
    const double t = position - static_cast<double>(below);
    return values[below] * (1.0 - t) + values[above] * t;
}

PosteriorSummary samplePosterior(const FreeLinearModel& m, const PosteriorInput& in) {
    PosteriorSummary summary;
    double basisVariance = 0.0;
    if (!in.binVariance.empty()) {
        for (double depth : in.fittedDepthMm) basisVariance += basisVarianceAt(m, in, depth);
        basisVariance /= static_cast<double>(std::max<std::size_t>(in.fittedDepthMm.size(), 1));
    }
    // The residual shows little of the basis's noise, which the fitted weights take up as they take up
    // any misfit of shape: the readings' noise is all of it, not what is left after the basis's share
    // (that left half the noise of 5 mm scans, and R50's intervals covered 74 %).
    const double dataVariance = in.noiseVariance;
    summary.dataNoisePercent = PERCENT * std::sqrt(dataVariance);
    summary.basisNoisePercent = PERCENT * std::sqrt(basisVariance);

    std::vector<Draw> draws(static_cast<std::size_t>(std::max(in.samples, 0)));
    const double sigma = std::sqrt(dataVariance);
    auto work = [&](std::size_t first) {
        for (std::size_t k = first; k < draws.size(); k += THREADS) draws[k] = drawSample(m, in, sigma, k);
    };
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < THREADS; ++t) pool.emplace_back(work, t);
    work(0);
    for (std::thread& thread : pool) thread.join();

    std::vector<double> mean;
    std::vector<double> peak;
    std::array<std::vector<double>, LEVELS.size()> level;
    std::array<std::vector<double>, BINS> weight;
    for (const Draw& d : draws) {
        if (!d.solved) continue;
        ++summary.samples;
        mean.push_back(d.meanEnergyMeV);
        peak.push_back(d.peakEnergyMeV);
        for (std::size_t k = 0; k < LEVELS.size(); ++k) level[k].push_back(d.level[k]);
        for (std::size_t j = 0; j < BINS; ++j) weight[j].push_back(d.spectrum[j]);
    }
    if (summary.samples == 0) throw engine::RunError("The posterior sampler solved no sample.");
    summary.energy = {spread(mean), spread(peak)};
    for (std::size_t k = 0; k < LEVELS.size(); ++k) summary.level[k] = spread(level[k]);
    for (std::size_t j = 0; j < BINS; ++j) {
        const Interval s = spread(weight[j]);
        summary.bandLow[j] = s.low;
        summary.bandHigh[j] = s.high;
    }
    return summary;
}

}  // namespace fit
