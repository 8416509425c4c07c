#include "free_fit_plot.h"

#include "plot_canvas.h"

#include <QPen>

#include <algorithm>
#include <cmath>

namespace fit {

namespace {

void drawDepthDose(PlotCanvas& canvas, const MeasuredCurve& measured, const FreeFitResult& r) {
    QPainter& p = canvas.painter();
    // To the end of the measurement: beyond the simulators' 110 mm the model is the background alone.
    const Panel f{std::clamp(std::ceil(measured.depthMm.back() / 10.0) * 10.0, 10.0, 200.0), 105.0, 50.0, 540.0};
    p.fillRect(QRectF(f.at(r.fromDepthMm, f.yMax), f.at(std::min(r.toDepthMm, f.xMax), 0.0)), QColor(240, 240, 250));
    drawPanelAxes(p, f, f.xMax > 120.0 ? 20.0 : 10.0, 10.0, "Depth in water (mm)");
    p.setClipRect(f.box().adjusted(0, -2, 0, 2));
    drawMeasured(p, f, measured);
    const int depths = static_cast<int>(f.xMax);
    auto depthPath = [&](auto value) {
        return pathOf(f, depths, [&](int k) { return std::pair{k + 1.0, 100.0 * value(k + 1.0)}; });
    };
    if (r.background) {
        p.setPen(QPen(QColor(128, 128, 128), 2, Qt::DotLine));
        p.drawPath(depthPath([&](double z) { return r.backgroundHeight * r.background->shapeAt(z); }));
    }
    p.setPen(QPen(QColor(0, 160, 0), 2, Qt::DashLine));
    p.drawPath(depthPath([&](double z) { return freeModelAt(r, z); }));
    canvas.title(12,
                 QString("measured (blue), free-form model (green dashed), background (grey dotted): rms %1 %, Dx %2 %")
                     .arg(r.rmsPercent, 0, 'f', 2)
                     .arg(r.backgroundAtRpPercent, 0, 'f', 2));
}

void drawSpectrum(PlotCanvas& canvas, const FreeFitResult& r) {
    QPainter& p = canvas.painter();
    const double maxEnergy = static_cast<double>(r.maxEnergyMeV);
    const double step = maxEnergy > 20.0 ? 5.0 : (maxEnergy > 8.0 ? 2.0 : 1.0);
    const Panel f{std::ceil(maxEnergy / step) * step, 1.05, 620.0, 810.0};
    drawPanelAxes(p, f, step, 0.25, "Energy (MeV)");
    p.setPen(QPen(QColor(255, 0, 0), 2));  // spectrum curves are red
    p.drawPath(pathOf(f, engine::SPECTRUM_BINS + 1, [&](int k) {
        if (k == 0) return std::pair{0.0, 0.0};
        const auto j = static_cast<std::size_t>(k - 1);
        return std::pair{static_cast<double>(r.spectrum.binEnergyKeV[j] / engine::KEV_PER_MEV), r.relativeWeight[j]};
    }));
    canvas.title(590,
                 QString("fitted spectrum, relative weight per bin: mean %1 MeV, most probable %2 MeV, smoothing %3")
                     .arg(r.meanEnergyMeV, 0, 'f', 2)
                     .arg(r.peakEnergyMeV, 0, 'f', 2)
                     .arg(r.smooth, 0, 'e', 2));
}

}  // namespace

bool writeFreeFitPlot(const std::filesystem::path& file, const MeasuredCurve& measured, const FreeFitResult& result) {
    PlotCanvas canvas(860);
    drawDepthDose(canvas, measured, result);
    drawSpectrum(canvas, result);
    return canvas.save(file);
}

}  // namespace fit
