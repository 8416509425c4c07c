#include "free_fit_plot.h"

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
constexpr int HEIGHT_PX = 860;
constexpr int LEFT_PX = 70;
constexpr int RIGHT_PX = 20;

// One panel: x from 0 to xMax, y from 0 to yMax, in the pixel box [top, bottom].
struct Panel {
    double xMax;
    double yMax;
    double topPx;
    double bottomPx;
    QPointF at(double x, double y) const {
        const double w = WIDTH_PX - LEFT_PX - RIGHT_PX;
        return {LEFT_PX + w * x / xMax, bottomPx - (bottomPx - topPx) * y / yMax};
    }
};

void drawPanelAxes(QPainter& p, const Panel& f, double xStep, double yStep, const QString& xLabel) {
    p.setPen(QPen(QColor(192, 192, 192), 1));
    for (double x = 0.0; x <= f.xMax + 1e-9; x += xStep) p.drawLine(f.at(x, 0.0), f.at(x, f.yMax));
    for (double y = 0.0; y <= f.yMax + 1e-9; y += yStep) p.drawLine(f.at(0.0, y), f.at(f.xMax, y));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(QRectF(f.at(0.0, f.yMax), f.at(f.xMax, 0.0)));
    for (double x = 0.0; x <= f.xMax + 1e-9; x += xStep)
        p.drawText(QRectF(f.at(x, 0.0) + QPointF(-20, 4), QSizeF(40, 18)), Qt::AlignCenter, QString::number(x));
    for (double y = 0.0; y <= f.yMax + 1e-9; y += yStep)
        p.drawText(QRectF(f.at(0.0, y) + QPointF(-45, -9), QSizeF(40, 18)), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(y));
    p.drawText(QRectF(0, f.bottomPx + 20, WIDTH_PX, 20), Qt::AlignCenter, xLabel);
}

template <typename Value>
QPainterPath pathOf(const Panel& f, int count, Value value) {
    QPainterPath path;
    for (int k = 0; k < count; ++k) {
        const auto [x, y] = value(k);
        if (k == 0)
            path.moveTo(f.at(x, y));
        else
            path.lineTo(f.at(x, y));
    }
    return path;
}

void drawDepthDose(QPainter& p, const MeasuredCurve& measured, const FreeFitResult& r) {
    // To the end of the measurement: beyond the simulators' 110 mm the model is the background alone.
    const Panel f{std::clamp(std::ceil(measured.depthMm.back() / 10.0) * 10.0, 10.0, 200.0), 105.0, 50.0, 540.0};
    p.fillRect(QRectF(f.at(r.fromDepthMm, f.yMax), f.at(std::min(r.toDepthMm, f.xMax), 0.0)), QColor(240, 240, 250));
    drawPanelAxes(p, f, f.xMax > 120.0 ? 20.0 : 10.0, 10.0, "Depth in water (mm)");
    p.setClipRect(QRectF(f.at(0.0, f.yMax), f.at(f.xMax, 0.0)).adjusted(0, -2, 0, 2));
    const double largest = *std::max_element(measured.dose.begin(), measured.dose.end());
    p.setPen(QPen(QColor(0, 0, 255), 2));
    p.drawPath(pathOf(f, static_cast<int>(measured.depthMm.size()), [&](int k) {
        const auto i = static_cast<std::size_t>(k);
        return std::pair{measured.depthMm[i], 100.0 * measured.dose[i] / largest};
    }));
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
    p.setClipping(false);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 12, WIDTH_PX, 24), Qt::AlignCenter,
               QString("measured (blue), free-form model (green dashed), background (grey dotted): rms %1 %, Dx %2 %")
                   .arg(r.rmsPercent, 0, 'f', 2)
                   .arg(r.backgroundAtRpPercent, 0, 'f', 2));
}

void drawSpectrum(QPainter& p, const FreeFitResult& r) {
    const double maxEnergy = static_cast<double>(r.maxEnergyMeV);
    const double step = maxEnergy > 20.0 ? 5.0 : (maxEnergy > 8.0 ? 2.0 : 1.0);
    const Panel f{std::ceil(maxEnergy / step) * step, 1.05, 620.0, 810.0};
    drawPanelAxes(p, f, step, 0.25, "Energy (MeV)");
    p.setPen(QPen(QColor(255, 0, 0), 2));  // spectrum curves are red
    p.drawPath(pathOf(f, engine::SPECTRUM_BINS + 1, [&](int k) {
        if (k == 0) return std::pair{0.0, 0.0};
        const auto j = static_cast<std::size_t>(k - 1);
        return std::pair{static_cast<double>(r.spectrum.binEnergyKeV[j]) / 1000.0, r.relativeWeight[j]};
    }));
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 590, WIDTH_PX, 24), Qt::AlignCenter,
               QString("fitted spectrum, relative weight per bin: mean %1 MeV, most probable %2 MeV, smoothing %3")
                   .arg(r.meanEnergyMeV, 0, 'f', 2)
                   .arg(r.peakEnergyMeV, 0, 'f', 2)
                   .arg(r.smooth, 0, 'e', 2));
}

}  // namespace

bool writeFreeFitPlot(const std::filesystem::path& file, const MeasuredCurve& measured, const FreeFitResult& result) {
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
    drawDepthDose(p, measured, result);
    drawSpectrum(p, result);
    p.end();
    return image.save(QString::fromStdString(file.string()));
}

}  // namespace fit
