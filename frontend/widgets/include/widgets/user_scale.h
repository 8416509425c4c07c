#pragma once
// Maps a picture area's user coordinates to pixels of its inner area and back.
//
// The scale is (left, top, width, height): the inner area's left edge is `left`, its top edge
// `top`, its right edge `left + width`, its bottom edge `top + height`. A negative height makes
// y grow upwards (top 1000, height -1000 puts 0 at the bottom).
//
// Rounding rule: a user point goes to the pixel floor(p + 0.5), where p = (u - left) / width *
// pixels is its continuous position; a pixel goes back to the user value of its left (top) edge,
// u = left + px * width / pixels. So pixel 0 is exactly `left`, and a point drawn from a pixel's
// user value lands on that pixel again.

namespace orvalis {

class UserScale {
public:
    struct Pixel {
        int x = 0;
        int y = 0;
    };

    UserScale() = default;
    UserScale(double left, double top, double width, double height);

    void setScale(double left, double top, double width, double height);
    // Size of the inner area (inside any border), pixels; at least 1 each.
    void setPixelSize(int widthPx, int heightPx);

    double left() const { return left_; }
    double top() const { return top_; }
    double width() const { return width_; }
    double height() const { return height_; }
    int widthPx() const { return widthPx_; }
    int heightPx() const { return heightPx_; }

    int toPixelX(double x) const;
    int toPixelY(double y) const;
    Pixel toPixel(double x, double y) const { return {toPixelX(x), toPixelY(y)}; }
    double toUserX(double px) const;
    double toUserY(double py) const;
    // A length along x or y in pixels (for widths of rectangles), rounded the same way.
    double pixelsPerUnitX() const;
    double pixelsPerUnitY() const;

private:
    double left_ = 0.0;
    double top_ = 0.0;
    double width_ = 1.0;
    double height_ = 1.0;
    int widthPx_ = 1;
    int heightPx_ = 1;
};

}  // namespace orvalis
