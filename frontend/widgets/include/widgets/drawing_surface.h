#pragma once
// A picture area: a user coordinate scale over an inset border, a back buffer that keeps what is
// painted until it is cleared, and line objects (cursor lines, markers, fixed grid lines) drawn over
// the buffer that clearing leaves alone. Mouse moves are reported in user units.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QLineF>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QWidget>

#include "widgets/user_scale.h"

namespace orvalis {

// A line object over a drawing surface, in the surface's user units. Find it by objectName.
class SurfaceLine : public QObject {
    Q_OBJECT
public:
    explicit SurfaceLine(QObject* parent = nullptr) : QObject(parent) {}

    void setPosition(double x1, double y1, double x2, double y2);
    // Moves both end points to abscissa x (a vertical line) or ordinate y (a horizontal line).
    void setX(double x) { setPosition(x, ends_.y1(), x, ends_.y2()); }
    void setY(double y) { setPosition(ends_.x1(), y, ends_.x2(), y); }
    void setColor(const QColor& color);
    void setWidth(int widthPx);
    void setStyle(Qt::PenStyle style);
    void setVisible(bool visible);
    void show() { setVisible(true); }
    void hide() { setVisible(false); }

    double x1() const { return ends_.x1(); }
    double y1() const { return ends_.y1(); }
    double x2() const { return ends_.x2(); }
    double y2() const { return ends_.y2(); }
    QColor color() const { return color_; }
    int width() const { return width_; }
    Qt::PenStyle style() const { return style_; }
    bool isVisible() const { return visible_; }

signals:
    void changed();

private:
    QLineF ends_;  // in the surface's user units
    QColor color_ = Qt::black;
    int width_ = 1;
    Qt::PenStyle style_ = Qt::SolidLine;
    bool visible_ = true;
};

class DrawingSurface : public QWidget {
    Q_OBJECT
public:
    static constexpr int DEFAULT_BORDER_PX = 2;  // the sunken 3-D border of a picture area

    explicit DrawingSurface(QWidget* parent = nullptr);

    // Scale of the inner area, see UserScale; a negative height makes y grow upwards.
    void setScale(double left, double top, double width, double height);
    const UserScale& scale() const {
        resizeBuffer();
        return scale_;
    }
    void setBorderWidth(int px);
    int borderWidth() const { return border_; }
    QRect innerRect() const;

    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return background_; }
    void setForegroundColor(const QColor& color) { foreground_ = color; }
    QColor foregroundColor() const { return foreground_; }
    void setLineWidth(int px);
    int lineWidth() const { return lineWidth_; }
    void setTextFont(const QFont& font) { textFont_ = font; }
    QFont textFont() const { return textFont_; }

    // Painting into the back buffer. Every call ends at its last point, which becomes the
    // current point; a colour given here is used for this call only.
    void clear();
    void setCurrentPoint(double x, double y) { current_ = {x, y}; }
    QPointF currentPoint() const { return current_; }
    void point(double x, double y);
    void point(double x, double y, const QColor& color);
    void lineTo(double x, double y);
    void lineTo(double x, double y, const QColor& color);
    void line(double x1, double y1, double x2, double y2);
    void line(double x1, double y1, double x2, double y2, const QColor& color);
    void rectangle(double x1, double y1, double x2, double y2);
    void rectangle(double x1, double y1, double x2, double y2, const QColor& color);
    void filledRectangle(double x1, double y1, double x2, double y2, const QColor& fill);
    // Prints with the text's top-left corner at the current point, in the foreground colour;
    // afterwards the current point is at the start of the next text line.
    void printText(const QString& text);
    void printTextAt(double x, double y, const QString& text);

    // A line object named objectName (hidden or shown as given), owned by the surface.
    SurfaceLine* addLine(const QString& objectName, double x1, double y1, double x2, double y2, const QColor& color,
                         int widthPx = 1, bool visible = true);
    QList<SurfaceLine*> lines() const { return lines_; }

    // The back buffer, inner area only (for tests and screenshots).
    const QImage& buffer() const {
        resizeBuffer();
        return buffer_;
    }
    // Colour of the buffer at a user point; transparent when outside.
    QColor bufferColorAt(double x, double y) const;

signals:
    void mouseMoved(double x, double y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // A hidden widget learns its size late; the buffer follows the inner area before every use.
    void resizeBuffer() const;
    // Two corners in pixels, each first moved within the frame's reach.
    std::pair<UserScale::Pixel, UserScale::Pixel> cornersWithinReach(double x1, double y1, double x2, double y2) const;
    void drawSegment(const QPointF& from, const QPointF& to, const QColor& color);
    void drawBorder(QPainter& painter) const;

    mutable UserScale scale_;
    int border_ = DEFAULT_BORDER_PX;
    mutable QImage buffer_;
    QColor background_ = Qt::white;
    QColor foreground_ = Qt::black;
    int lineWidth_ = 1;
    QFont textFont_;
    QPointF current_;
    QList<SurfaceLine*> lines_;
};

}  // namespace orvalis
