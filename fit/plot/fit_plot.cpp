#include "fit_plot.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>

#include <algorithm>
#include <cmath>
#include <memory>

namespace fit {

namespace {

constexpr int WIDTH_PX = 900;
constexpr int HEIGHT_PX = 600;
constexpr int LEFT_PX = 70;
constexpr int RIGHT_PX = 20;
constexpr int TOP_PX = 50;
constexpr int BOTTOM_PX = 60;

struct Frame {
    double depthMaxMm;
    QPointF at(double depthMm, double percent) const {
        const double w = WIDTH_PX - LEFT_PX - RIGHT_PX;
        const double h = HEIGHT_PX - TOP_PX - BOTTOM_PX;
        return {LEFT_PX + w * depthMm / depthMaxMm, TOP_PX + h * (1.0 - percent / 105.0)};
    }
};

void drawAxes(QPainter& p, const Frame& f) {
    p.setPen(QPen(QColor(192, 192, 192), 1));
    for (double d = 0.0; d <= f.depthMaxMm + 1e-9; d += 10.0) p.drawLine(f.at(d, 0.0), f.at(d, 105.0));
    for (double y = 0.0; y <= 100.0; y += 10.0) p.drawLine(f.at(0.0, y), f.at(f.depthMaxMm, y));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(QRectF(f.at(0.0, 105.0), f.at(f.depthMaxMm, 0.0)));
    for (double d = 0.0; d <= f.depthMaxMm + 1e-9; d += 10.0)
        p.drawText(QRectF(f.at(d, 0.0) + QPointF(-20, 4), QSizeF(40, 18)), Qt::AlignCenter, QString::number(d));
    for (double y = 0.0; y <= 100.0; y += 20.0)
        p.drawText(QRectF(f.at(0.0, y) + QPointF(-45, -9), QSizeF(40, 18)), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(y));
    p.drawText(QRectF(0, HEIGHT_PX - 28, WIDTH_PX, 20), Qt::AlignCenter, "Depth in water (mm)");
}

}  // namespace

bool writeFitPlot(const std::filesystem::path& file, const MeasuredCurve& measured, const FitResult& result) {
    // Text needs the fonts of a GUI application; a console run paints off screen.
    std::unique_ptr<QGuiApplication> application;
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "orvalis-fit";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    QImage image(WIDTH_PX, HEIGHT_PX, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Up to a little beyond R10, where the fitted depths end.
    const double deepest = std::isnan(result.measured[3]) ? measured.depthMm.back() : 1.3 * result.measured[3];
    const Frame f{std::clamp(std::ceil(deepest / 10.0) * 10.0, 10.0, 110.0)};
    // The fitted depths, shaded.
    p.fillRect(QRectF(f.at(result.fromDepthMm, 105.0), f.at(result.toDepthMm, 0.0)), QColor(240, 240, 250));
    drawAxes(p, f);

    p.setClipRect(QRectF(f.at(0.0, 105.0), f.at(f.depthMaxMm, 0.0)).adjusted(0, -2, 0, 2));
    const double largest = *std::max_element(measured.dose.begin(), measured.dose.end());
    QPainterPath measuredPath;
    for (std::size_t i = 0; i < measured.depthMm.size(); ++i) {
        const QPointF point = f.at(measured.depthMm[i], 100.0 * measured.dose[i] / largest);
        if (i == 0)
            measuredPath.moveTo(point);
        else
            measuredPath.lineTo(point);
    }
    p.setPen(QPen(QColor(0, 0, 255), 2));
    p.drawPath(measuredPath);

    QPainterPath fittedPath;
    for (int label = 1; label <= static_cast<int>(f.depthMaxMm); ++label) {
        const QPointF point = f.at(label, 100.0 * resultCurveAt(result.onGrid.relative, label));
        if (label == 1)
            fittedPath.moveTo(point);
        else
            fittedPath.lineTo(point);
    }
    p.setPen(QPen(QColor(0, 160, 0), 2, Qt::DashLine));  // the fit's colour in the comparison window
    p.drawPath(fittedPath);

    p.setClipping(false);
    p.setPen(Qt::black);
    const QString title = QString("measured (blue) and fitted (green dashed): alpha %1, beta %2, Emax %3 MeV, rms %4 %")
                              .arg(result.onGrid.alpha, 0, 'f', 1)
                              .arg(result.onGrid.beta, 0, 'f', 1)
                              .arg(result.onGrid.maxEnergyMeV, 0, 'f', 1)
                              .arg(result.onGrid.rmsPercent, 0, 'f', 2);
    p.drawText(QRectF(0, 12, WIDTH_PX, 24), Qt::AlignCenter, title);
    p.end();
    return image.save(QString::fromStdString(file.string()));
}

}  // namespace fit
