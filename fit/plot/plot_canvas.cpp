#include "plot_canvas.h"

#include "engine/result_file.h"
#include "engine/run_error.h"

#include <QBuffer>
#include <QByteArray>
#include <QPen>

#include <algorithm>

namespace fit {

std::unique_ptr<QGuiApplication> offScreenApplication() {
    if (QGuiApplication::instance()) return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "orvalis";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

PlotCanvas::PlotCanvas(int heightPx)
    : application_(offScreenApplication()), image_(PLOT_WIDTH_PX, heightPx, QImage::Format_RGB32) {
    image_.fill(Qt::white);
    painter_.begin(&image_);
    painter_.setRenderHint(QPainter::Antialiasing);
}

void PlotCanvas::title(double topPx, const QString& text) {
    painter_.setClipping(false);
    painter_.setPen(Qt::black);
    painter_.drawText(QRectF(0, topPx, PLOT_WIDTH_PX, 24), Qt::AlignCenter, text);
}

bool PlotCanvas::save(const std::filesystem::path& file) {
    painter_.end();
    // Encoded in memory and written like every result: a temporary file of its own, renamed into
    // place, never the final name opened, so a link there is replaced rather than written through.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image_.save(&buffer, "PNG")) return false;
    try {
        engine::writeFileAtomically(file, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    } catch (const engine::RunError&) {
        return false;
    }
    return true;
}

void drawPanelAxes(QPainter& p, const Panel& f, double xStep, double yStep, const QString& xLabel) {
    p.setPen(QPen(QColor(192, 192, 192), 1));
    for (double x = 0.0; x <= f.xMax + 1e-9; x += xStep) p.drawLine(f.at(x, 0.0), f.at(x, f.yMax));
    for (double y = 0.0; y <= f.yMax + 1e-9; y += yStep) p.drawLine(f.at(0.0, y), f.at(f.xMax, y));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(f.box());
    for (double x = 0.0; x <= f.xMax + 1e-9; x += xStep)
        p.drawText(QRectF(f.at(x, 0.0) + QPointF(-20, 4), QSizeF(40, 18)), Qt::AlignCenter, QString::number(x));
    for (double y = 0.0; y <= f.yMax + 1e-9; y += yStep)
        p.drawText(QRectF(f.at(0.0, y) + QPointF(-45, -9), QSizeF(40, 18)), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(y));
    p.drawText(QRectF(0, f.bottomPx + 20, PLOT_WIDTH_PX, 20), Qt::AlignCenter, xLabel);
}

void drawMeasured(QPainter& p, const Panel& f, const MeasuredCurve& measured) {
    const double largest = *std::max_element(measured.dose.begin(), measured.dose.end());
    p.setPen(QPen(QColor(0, 0, 255), 2));
    p.drawPath(pathOf(f, static_cast<int>(measured.depthMm.size()), [&](int k) {
        const auto i = static_cast<std::size_t>(k);
        return std::pair{measured.depthMm[i], 100.0 * measured.dose[i] / largest};
    }));
}

}  // namespace fit
