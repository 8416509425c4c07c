#include "fit_plot.h"

#include "plot_canvas.h"

#include <QPen>

#include <algorithm>
#include <cmath>

namespace fit {

bool writeFitPlot(const std::filesystem::path& file, const MeasuredCurve& measured, const FitResult& result) {
    PlotCanvas canvas(600);
    QPainter& p = canvas.painter();
    // Up to a little beyond R10, where the fitted depths end.
    const double deepest = std::isnan(result.measured[3]) ? measured.depthMm.back() : 1.3 * result.measured[3];
    const Panel f{std::clamp(std::ceil(deepest / 10.0) * 10.0, 10.0, 110.0), 105.0, 50.0, 540.0};
    // The fitted depths, shaded.
    p.fillRect(QRectF(f.at(result.fromDepthMm, f.yMax), f.at(result.toDepthMm, 0.0)), QColor(240, 240, 250));
    drawPanelAxes(p, f, 10.0, 10.0, "Depth in water (mm)");

    p.setClipRect(f.box().adjusted(0, -2, 0, 2));
    drawMeasured(p, f, measured);
    p.setPen(QPen(QColor(0, 160, 0), 2, Qt::DashLine));  // the fit's colour in the comparison window
    p.drawPath(pathOf(f, static_cast<int>(f.xMax), [&](int k) {
        return std::pair{k + 1.0, 100.0 * resultCurveAt(result.onGrid.relative, k + 1)};
    }));

    const QString title = QString("measured (blue) and fitted (green dashed): alpha %1, beta %2, Emax %3 MeV, rms %4 %")
                              .arg(result.onGrid.alpha, 0, 'f', 1)
                              .arg(result.onGrid.beta, 0, 'f', 1)
                              .arg(result.onGrid.maxEnergyMeV, 0, 'f', 1)
                              .arg(result.onGrid.rmsPercent, 0, 'f', 2);
    canvas.title(12, title);
    return canvas.save(file);
}

}  // namespace fit
