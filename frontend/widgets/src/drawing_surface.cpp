#include "widgets/drawing_surface.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "common/segment_clip.h"

namespace orvalis {

namespace {

// The region that drawing may reach, in user units: the visible area grown by twice its own size
// on every side. Anything inside it is drawn as given; a segment reaching beyond it is first cut to
// it, so that what a curve costs to draw is bounded by the frame whatever its values, while every
// pixel inside the frame stays where the uncut segment would put it.
ClipRect reachOf(const UserScale& scale) {
    const double xMin = std::min(scale.left(), scale.left() + scale.width());
    const double yMin = std::min(scale.top(), scale.top() + scale.height());
    const double w = std::abs(scale.width());
    const double h = std::abs(scale.height());
    return {xMin - 2.0 * w, yMin - 2.0 * h, xMin + 3.0 * w, yMin + 3.0 * h};
}

bool within(const QPointF& p, const ClipRect& r) {
    return p.x() >= r.xMin && p.x() <= r.xMax && p.y() >= r.yMin && p.y() <= r.yMax;
}

// The segment cut to the reach; false when nothing of it is there.
bool cutToReach(QPointF& from, QPointF& to, const UserScale& scale) {
    const ClipRect reach = reachOf(scale);
    if (within(from, reach) && within(to, reach)) return true;
    const std::optional<ClipSpan> span = clipSegment(from.x(), from.y(), to.x(), to.y(), reach);
    if (!span) return false;
    const QPointF delta = to - from;
    to = from + delta * span->leave;
    from = from + delta * span->enter;
    return true;
}

double clampTo(double v, double lo, double hi) { return std::isnan(v) ? lo : std::clamp(v, lo, hi); }

}  // namespace

void SurfaceLine::setPosition(double x1, double y1, double x2, double y2) {
    ends_ = QLineF(x1, y1, x2, y2);
    emit changed();
}

void SurfaceLine::setColor(const QColor& color) {
    color_ = color;
    emit changed();
}

void SurfaceLine::setWidth(int widthPx) {
    width_ = std::max(1, widthPx);
    emit changed();
}

void SurfaceLine::setStyle(Qt::PenStyle style) {
    style_ = style;
    emit changed();
}

void SurfaceLine::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    emit changed();
}

DrawingSurface::DrawingSurface(QWidget* parent) : QWidget(parent), textFont_(font()) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resizeBuffer();
}

QRect DrawingSurface::innerRect() const { return rect().adjusted(border_, border_, -border_, -border_); }

void DrawingSurface::setScale(double left, double top, double width, double height) {
    scale_.setScale(left, top, width, height);
    update();
}

void DrawingSurface::setBorderWidth(int px) {
    border_ = std::max(0, px);
    resizeBuffer();
}

void DrawingSurface::setBackgroundColor(const QColor& color) {
    background_ = color;
    clear();
}

void DrawingSurface::setLineWidth(int px) { lineWidth_ = std::max(1, px); }

void DrawingSurface::clear() {
    resizeBuffer();
    buffer_.fill(background_);
    current_ = {scale_.left(), scale_.top()};
    update();
}

void DrawingSurface::point(double x, double y) { point(x, y, foreground_); }

void DrawingSurface::point(double x, double y, const QColor& color) {
    resizeBuffer();
    const UserScale::Pixel p = scale_.toPixel(x, y);
    QPainter painter(&buffer_);
    if (lineWidth_ <= 1) {
        painter.setPen(color);
        painter.drawPoint(p.x, p.y);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        const double radius = lineWidth_ / 2.0;
        painter.drawEllipse(QPointF(p.x + 0.5, p.y + 0.5), radius, radius);
    }
    current_ = {x, y};
    update();
}

void DrawingSurface::lineTo(double x, double y) { lineTo(x, y, foreground_); }

void DrawingSurface::lineTo(double x, double y, const QColor& color) { drawSegment(current_, {x, y}, color); }

void DrawingSurface::line(double x1, double y1, double x2, double y2) { line(x1, y1, x2, y2, foreground_); }

void DrawingSurface::line(double x1, double y1, double x2, double y2, const QColor& color) {
    drawSegment({x1, y1}, {x2, y2}, color);
}

void DrawingSurface::drawSegment(const QPointF& from, const QPointF& to, const QColor& color) {
    resizeBuffer();
    QPointF start = from;  // `from` may be the current point itself, which moves on now
    QPointF end = to;
    current_ = to;
    if (!cutToReach(start, end, scale_)) return;
    const UserScale::Pixel a = scale_.toPixel(start.x(), start.y());
    const UserScale::Pixel b = scale_.toPixel(end.x(), end.y());
    QPainter painter(&buffer_);
    painter.setPen(QPen(color, lineWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(a.x, a.y, b.x, b.y);
    update();
}

std::pair<UserScale::Pixel, UserScale::Pixel> DrawingSurface::cornersWithinReach(double x1, double y1, double x2,
                                                                                 double y2) const {
    // Corners beyond the reach are moved to it: the edges inside the frame stay where they were.
    const ClipRect reach = reachOf(scale_);
    return {scale_.toPixel(clampTo(x1, reach.xMin, reach.xMax), clampTo(y1, reach.yMin, reach.yMax)),
            scale_.toPixel(clampTo(x2, reach.xMin, reach.xMax), clampTo(y2, reach.yMin, reach.yMax))};
}

void DrawingSurface::rectangle(double x1, double y1, double x2, double y2) { rectangle(x1, y1, x2, y2, foreground_); }

void DrawingSurface::rectangle(double x1, double y1, double x2, double y2, const QColor& color) {
    resizeBuffer();
    const auto [a, b] = cornersWithinReach(x1, y1, x2, y2);
    QPainter painter(&buffer_);
    painter.setPen(QPen(color, lineWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    painter.drawRect(QRect(left, top, std::abs(b.x - a.x), std::abs(b.y - a.y)));
    current_ = {x2, y2};
    update();
}

void DrawingSurface::filledRectangle(double x1, double y1, double x2, double y2, const QColor& fill) {
    resizeBuffer();
    const auto [a, b] = cornersWithinReach(x1, y1, x2, y2);
    QPainter painter(&buffer_);
    painter.fillRect(
        QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)), QPoint(std::max(a.x, b.x), std::max(a.y, b.y))), fill);
    current_ = {x2, y2};
    update();
}

void DrawingSurface::printText(const QString& text) {
    resizeBuffer();
    const UserScale::Pixel p = scale_.toPixel(current_.x(), current_.y());
    QPainter painter(&buffer_);
    painter.setFont(textFont_);
    painter.setPen(foreground_);
    const QFontMetrics metrics(textFont_);
    painter.drawText(p.x, p.y + metrics.ascent(), text);
    current_.setY(scale_.toUserY(p.y + metrics.height()));
    update();
}

void DrawingSurface::printTextAt(double x, double y, const QString& text) {
    current_ = {x, y};
    printText(text);
}

SurfaceLine* DrawingSurface::addLine(const QString& objectName, double x1, double y1, double x2, double y2,
                                     const QColor& color, int widthPx, bool visible) {
    auto* line = new SurfaceLine(this);
    line->setObjectName(objectName);
    line->setPosition(x1, y1, x2, y2);
    line->setColor(color);
    line->setWidth(widthPx);
    line->setVisible(visible);
    connect(line, &SurfaceLine::changed, this, qOverload<>(&QWidget::update));
    lines_.append(line);
    update();
    return line;
}

QColor DrawingSurface::bufferColorAt(double x, double y) const {
    resizeBuffer();
    const UserScale::Pixel p = scale_.toPixel(x, y);
    if (!buffer_.valid(p.x, p.y)) return Qt::transparent;
    return buffer_.pixelColor(p.x, p.y);
}

void DrawingSurface::paintEvent(QPaintEvent*) {
    resizeBuffer();
    QPainter painter(this);
    drawBorder(painter);
    const QRect inner = innerRect();
    painter.setClipRect(inner);
    painter.drawImage(inner.topLeft(), buffer_);
    painter.translate(inner.topLeft());
    for (const SurfaceLine* line : lines_) {
        if (!line->isVisible()) continue;
        painter.setPen(QPen(line->color(), line->width(), line->style(), Qt::FlatCap));
        QPointF start(line->x1(), line->y1());
        QPointF end(line->x2(), line->y2());
        if (!cutToReach(start, end, scale_)) continue;
        const UserScale::Pixel a = scale_.toPixel(start.x(), start.y());
        const UserScale::Pixel b = scale_.toPixel(end.x(), end.y());
        painter.drawLine(a.x, a.y, b.x, b.y);
    }
}

void DrawingSurface::drawBorder(QPainter& painter) const {
    if (border_ <= 0) return;
    // Sunken: dark on the top and left, light on the bottom and right.
    const QColor outerDark(128, 128, 128), innerDark(64, 64, 64);
    const QColor outerLight(255, 255, 255), innerLight(212, 208, 200);
    const QRect r = rect();
    for (int i = 0; i < border_; ++i) {
        const bool outer = i < (border_ + 1) / 2;
        painter.setPen(outer ? outerDark : innerDark);
        painter.drawLine(r.left() + i, r.top() + i, r.right() - i, r.top() + i);
        painter.drawLine(r.left() + i, r.top() + i, r.left() + i, r.bottom() - i);
        painter.setPen(outer ? outerLight : innerLight);
        painter.drawLine(r.left() + i, r.bottom() - i, r.right() - i, r.bottom() - i);
        painter.drawLine(r.right() - i, r.top() + i, r.right() - i, r.bottom() - i);
    }
}

void DrawingSurface::resizeEvent(QResizeEvent*) {
    resizeBuffer();
    update();
}

void DrawingSurface::resizeBuffer() const {
    const QSize size = innerRect().size().expandedTo(QSize(1, 1));
    if (buffer_.size() != size) {
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(background_);
        if (!buffer_.isNull()) {
            QPainter painter(&resized);
            painter.drawImage(0, 0, buffer_);
        }
        buffer_ = resized;
    }
    scale_.setPixelSize(size.width(), size.height());
}

void DrawingSurface::mouseMoveEvent(QMouseEvent* event) {
    resizeBuffer();
    const QPointF pos = event->position() - QPointF(border_, border_);
    // Whole pixels, as a pointer is reported; positions over the border fall outside the scale.
    emit mouseMoved(scale_.toUserX(std::floor(pos.x())), scale_.toUserY(std::floor(pos.y())));
}

}  // namespace orvalis
