#include "beamdata/beam_quality.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "beamdata/range_levels.h"

namespace beamdata {
namespace {

constexpr double NOT_FOUND = std::numeric_limits<double>::quiet_NaN();
constexpr double PERCENT = 100.0;
constexpr double PEAK_WINDOW_PERCENT = 99.0;  // points within 1 % of the largest shape the peak
constexpr double SURFACE_DEPTH_MM = 0.5;
constexpr double SURFACE_EXTRAPOLATION_MM = 2.0;  // a first point up to here may be extrapolated to 0.5 mm
constexpr double MM_PER_CM = 10.0;

std::size_t largestPoint(std::span<const double> p) {
    return static_cast<std::size_t>(std::max_element(p.begin(), p.end()) - p.begin());
}

// d_max: the vertex of a parabola over the points about the largest, as far on both sides as the
// curve stays within 1 % of it (at least the two neighbours; a one-sided window would be pulled
// towards the flatter side), or the largest point itself at an end of the curve.
double depthOfMaximumMm(std::span<const double> z, std::span<const double> p) {
    const std::size_t top = largestPoint(p);
    if (top == 0 || top + 1 == p.size()) return z[top];
    std::size_t half = 1;
    while (half < top && top + half + 1 < p.size() && p[top - half - 1] >= PEAK_WINDOW_PERCENT &&
           p[top + half + 1] >= PEAK_WINDOW_PERCENT)
        ++half;
    const std::size_t first = top - half, last = top + half;
    std::array<double, 4> c{};
    if (!polynomialFit(z, p, first, last, z[top], 2, c) || !(c[2] < 0.0)) return z[top];
    const double vertex = z[top] - c[1] / (2.0 * c[2]);
    return std::clamp(vertex, z[first], z[last]);
}

double surfaceDosePercent(std::span<const double> z, std::span<const double> p) {
    if (z.size() < 2 || z.front() > SURFACE_EXTRAPOLATION_MM) return NOT_FOUND;
    std::size_t i = 1;
    while (i + 1 < z.size() && z[i] < SURFACE_DEPTH_MM) ++i;
    return p[i - 1] + (p[i] - p[i - 1]) * (SURFACE_DEPTH_MM - z[i - 1]) / (z[i] - z[i - 1]);
}

std::string field(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A value as printed with two decimals, read back.
double asPrinted(double value) { return std::isfinite(value) ? std::strtod(field(value, 2).c_str(), nullptr) : value; }

}  // namespace

double meanEnergyMeV(double r50Mm) { return 2.33 * r50Mm / MM_PER_CM; }

double mostProbableEnergyMeV(double rpMm) {
    const double rpCm = rpMm / MM_PER_CM;
    return 0.22 + 1.98 * rpCm + 0.0025 * rpCm * rpCm;
}

double referenceDepthMm(double r50Mm) { return MM_PER_CM * (0.6 * r50Mm / MM_PER_CM - 0.1); }

BeamQuality beamQuality(std::span<const double> depthMm, std::span<const double> value) {
    BeamQuality q{};
    q.r100Mm = q.r90Mm = q.r80Mm = q.r50Mm = q.rpMm = q.rqMm = q.gradient = NOT_FOUND;
    q.surfaceDosePercent = q.backgroundPercent = NOT_FOUND;
    q.meanEnergyMeV = q.mostProbableEnergyMeV = q.referenceDepthMm = NOT_FOUND;
    if (value.size() < 2 || depthMm.size() != value.size()) return q;
    const double largest = *std::max_element(value.begin(), value.end());
    if (!(largest > 0.0)) return q;
    std::vector<double> p(value.size());
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = PERCENT * (value[i] / largest);
    const std::span<const double> z = depthMm;

    q.r100Mm = depthOfMaximumMm(z, p);
    q.r90Mm = levelDepthMm(z, value, 0.9);
    q.r80Mm = levelDepthMm(z, value, 0.8);
    q.r50Mm = levelDepthMm(z, value, 0.5);
    q.surfaceDosePercent = surfaceDosePercent(z, p);
    q.meanEnergyMeV = meanEnergyMeV(q.r50Mm);
    q.referenceDepthMm = referenceDepthMm(q.r50Mm);

    const std::optional<FallOff> f = fallOff(z, p);
    if (!f) return q;
    q.tangent = f->tangent;
    q.background = f->background;
    q.rpMm = f->rpMm;
    q.rqMm = f->rqMm;
    q.gradient = q.rpMm / (q.rpMm - q.rqMm);
    q.backgroundPercent = f->backgroundAtRpPercent();
    q.mostProbableEnergyMeV = mostProbableEnergyMeV(q.rpMm);
    return q;
}

const QualityFigure QUALITY_FIGURES[12] = {
    // depths on the axis: the levels, then where the tangent at the steepest point meets the
    // background (Rp) and 100 % (Rq)
    {"R100", "mm", &BeamQuality::r100Mm},
    {"R90", "mm", &BeamQuality::r90Mm},
    {"R80", "mm", &BeamQuality::r80Mm},
    {"R50", "mm", &BeamQuality::r50Mm},
    {"Rp", "mm", &BeamQuality::rpMm},
    {"Rq", "mm", &BeamQuality::rqMm},
    // the dose gradient, the surface dose and the photon background at Rp
    {"G", "", &BeamQuality::gradient},
    {"Ds", "%", &BeamQuality::surfaceDosePercent},
    {"Dx", "%", &BeamQuality::backgroundPercent},
    // energies at the surface, from R50 and Rp, and the reference depth
    {"E0", "MeV", &BeamQuality::meanEnergyMeV},
    {"Ep0", "MeV", &BeamQuality::mostProbableEnergyMeV},
    {"zref", "mm", &BeamQuality::referenceDepthMm}};

std::string qualityFields(const BeamQuality& quality) {
    BeamQuality shown = quality;
    shown.meanEnergyMeV = meanEnergyMeV(asPrinted(quality.r50Mm));
    shown.mostProbableEnergyMeV = mostProbableEnergyMeV(asPrinted(quality.rpMm));
    shown.referenceDepthMm = referenceDepthMm(asPrinted(quality.r50Mm));
    std::string text;
    for (const QualityFigure& figure : QUALITY_FIGURES) {
        if (!text.empty()) text += ' ';
        text += std::string(figure.name) + "=" +
                field(shown.*figure.value, figure.value == &BeamQuality::gradient ? 3 : 2);
    }
    return text;
}

}  // namespace beamdata
