// validation-plot: draws our depth doses over the full-physics reference depths as a PNG.
//   Usage: validation-plot <manifest> <plot.png>
// Runs without a display (QT_QPA_PLATFORM=offscreen); painting goes into a QImage.
#include "tools/validation_report.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cmath>
#include <cstdio>
#include <exception>

namespace {

constexpr int WIDTH_PX = 1200;
constexpr int HEIGHT_PX = 760;
constexpr double LEFT_PX = 80.0, RIGHT_PX = 30.0, TOP_PX = 40.0, BOTTOM_PX = 60.0;
constexpr double MAX_DEPTH_MM = 110.0;
constexpr double MAX_DOSE_PERCENT = 110.0;

// User coordinates (depth mm, dose %) to pixels.
QPointF toPixels(double depthMm, double dosePercent) {
    const double plotWidth = WIDTH_PX - LEFT_PX - RIGHT_PX;
    const double plotHeight = HEIGHT_PX - TOP_PX - BOTTOM_PX;
    return {LEFT_PX + depthMm / MAX_DEPTH_MM * plotWidth, TOP_PX + (1.0 - dosePercent / MAX_DOSE_PERCENT) * plotHeight};
}

void drawAxes(QPainter& painter) {
    painter.setPen(QPen(QColor(210, 210, 210), 1.0));
    for (int depth = 0; depth <= 110; depth += 10)
        painter.drawLine(toPixels(depth, 0), toPixels(depth, MAX_DOSE_PERCENT));
    for (int dose = 0; dose <= 110; dose += 10) painter.drawLine(toPixels(0, dose), toPixels(MAX_DEPTH_MM, dose));
    painter.setPen(QPen(Qt::black, 1.5));
    painter.drawLine(toPixels(0, 0), toPixels(MAX_DEPTH_MM, 0));
    painter.drawLine(toPixels(0, 0), toPixels(0, MAX_DOSE_PERCENT));
    painter.setFont(QFont("Liberation Sans", 11));
    for (int depth = 0; depth <= 110; depth += 10) {
        painter.drawText(QRectF(toPixels(depth, 0) + QPointF(-30, 6), QSizeF(60, 20)), Qt::AlignCenter,
                         QString::number(depth));
    }
    for (int dose = 0; dose <= 110; dose += 10) {
        painter.drawText(QRectF(toPixels(0, dose) + QPointF(-50, -10), QSizeF(42, 20)),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(dose));
    }
    painter.drawText(QRectF(LEFT_PX, HEIGHT_PX - 30, WIDTH_PX - LEFT_PX - RIGHT_PX, 24), Qt::AlignCenter,
                     "depth in water (mm, slab centres)");
    painter.save();
    painter.translate(22, TOP_PX + (HEIGHT_PX - TOP_PX - BOTTOM_PX) / 2.0);
    painter.rotate(-90);
    painter.drawText(QRectF(-150, -12, 300, 24), Qt::AlignCenter, "relative dose (%)");
    painter.restore();
    painter.drawText(QRectF(LEFT_PX, 8, WIDTH_PX - LEFT_PX - RIGHT_PX, 24), Qt::AlignCenter,
                     "Tolvane single-energy depth doses (lines) and full-physics reference depths (markers)");
}

void drawReferenceMarkers(QPainter& painter, const tools::ReferenceDepthDose& ref, const QColor& colour) {
    const double points[][2] = {
        {ref.doseMaximumDepthCm, 100.0}, {ref.r90Cm, 90.0}, {ref.r80Cm, 80.0}, {ref.r50Cm, 50.0}, {ref.r10Cm, 10.0},
        {ref.practicalRangeCm, 0.0}};
    painter.setPen(QPen(colour.darker(130), 2.0));
    painter.setBrush(Qt::NoBrush);
    for (const auto& point : points) {
        const QPointF centre = toPixels(10.0 * point[0], point[1]);
        painter.drawEllipse(centre, 5.5, 5.5);
    }
}

void drawRun(QPainter& painter, const tools::ValidationRun& run, const QColor& colour, int legendIndex) {
    QPainterPath path;
    for (std::size_t i = 0; i < run.curve.depthMm.size(); ++i) {
        const QPointF p = toPixels(run.curve.depthMm[i], 100.0 * run.curve.dose[i] / run.quality.peakDose);
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    painter.setPen(QPen(colour, 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    if (const tools::ReferenceDepthDose* ref = tools::findReference(run.energyMeV))
        drawReferenceMarkers(painter, *ref, colour);
    const QPointF legend(WIDTH_PX - RIGHT_PX - 230, TOP_PX + 20 + 24.0 * legendIndex);
    painter.setPen(QPen(colour, 3.0));
    painter.drawLine(legend, legend + QPointF(30, 0));
    painter.setPen(Qt::black);
    painter.drawText(legend + QPointF(40, 5), QString("%1 MeV").arg(run.energyMeV, 0, 'f', 0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: validation-plot <manifest> <plot.png>\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    try {
        const std::vector<tools::ValidationRun> runs = tools::loadValidationRuns(argv[1]);
        QImage image(WIDTH_PX, HEIGHT_PX, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        drawAxes(painter);
        const QColor colours[] = {QColor(200, 30, 30), QColor(230, 120, 0),  QColor(40, 150, 40),
                                  QColor(30, 90, 200), QColor(140, 40, 170), QColor(90, 90, 90)};
        for (std::size_t i = 0; i < runs.size(); ++i) drawRun(painter, runs[i], colours[i % 6], static_cast<int>(i));
        const QPointF legend(WIDTH_PX - RIGHT_PX - 230, TOP_PX + 20 + 24.0 * static_cast<double>(runs.size()));
        painter.setPen(QPen(Qt::black, 2.0));
        painter.drawEllipse(legend + QPointF(15, 0), 5.5, 5.5);
        painter.drawText(legend + QPointF(40, 5), "reference depths");
        painter.end();
        if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
            std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
            return 1;
        }
        std::printf("Wrote %s\n", argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
