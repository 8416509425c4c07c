#pragma once
// The picture both fit plots are painted on: a white image of a fixed width, panels with a grey grid,
// numbered axes and a label, and curves drawn point by point. A console run has no GUI application,
// which text needs, so the canvas makes one that paints off screen.
#include "fit/measured_data.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <filesystem>
#include <memory>
#include <utility>

namespace fit {

inline constexpr int PLOT_WIDTH_PX = 900;
inline constexpr int PLOT_LEFT_PX = 70;
inline constexpr int PLOT_RIGHT_PX = 20;

// One panel: x from 0 to xMax, y from 0 to yMax, in the pixel rows [topPx, bottomPx].
struct Panel {
    double xMax;
    double yMax;
    double topPx;
    double bottomPx;
    QPointF at(double x, double y) const {
        const double w = PLOT_WIDTH_PX - PLOT_LEFT_PX - PLOT_RIGHT_PX;
        return {PLOT_LEFT_PX + w * x / xMax, bottomPx - (bottomPx - topPx) * y / yMax};
    }
    QRectF box() const { return {at(0.0, yMax), at(xMax, 0.0)}; }
};

// The GUI application that painting text needs, made to paint off screen; empty when the program
// has one already.
std::unique_ptr<QGuiApplication> offScreenApplication();

class PlotCanvas {
public:
    explicit PlotCanvas(int heightPx);
    QPainter& painter() { return painter_; }
    // A centred line of text in the pixel row starting at topPx.
    void title(double topPx, const QString& text);
    bool save(const std::filesystem::path& file);

private:
    std::unique_ptr<QGuiApplication> application_;
    QImage image_;
    QPainter painter_;
};

void drawPanelAxes(QPainter& p, const Panel& f, double xStep, double yStep, const QString& xLabel);

// The measurement in blue, relative to its largest reading, in percent.
void drawMeasured(QPainter& p, const Panel& f, const MeasuredCurve& measured);

// The path through count points, value(k) giving the k-th as an (x, y) pair.
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

}  // namespace fit
