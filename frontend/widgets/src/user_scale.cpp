#include "widgets/user_scale.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvalis {
namespace {

// Pixel positions far outside the area are clamped, so that a huge user value cannot overflow
// an int; such points are outside the visible area either way.
constexpr double PIXEL_LIMIT = 1.0e6;

int roundToPixel(double p) {
    if (std::isnan(p)) return 0;
    return static_cast<int>(std::floor(std::clamp(p, -PIXEL_LIMIT, PIXEL_LIMIT) + 0.5));
}

}  // namespace

UserScale::UserScale(double left, double top, double width, double height) { setScale(left, top, width, height); }

void UserScale::setScale(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    // A zero extent would make every mapping a division by zero; keep the previous one instead.
    if (width != 0.0) width_ = width;
    if (height != 0.0) height_ = height;
}

void UserScale::setPixelSize(int widthPx, int heightPx) {
    widthPx_ = std::max(1, widthPx);
    heightPx_ = std::max(1, heightPx);
}

int UserScale::toPixelX(double x) const { return roundToPixel((x - left_) * widthPx_ / width_); }
int UserScale::toPixelY(double y) const { return roundToPixel((y - top_) * heightPx_ / height_); }
double UserScale::toUserX(double px) const { return left_ + px * width_ / widthPx_; }
double UserScale::toUserY(double py) const { return top_ + py * height_ / heightPx_; }
double UserScale::pixelsPerUnitX() const { return widthPx_ / width_; }
double UserScale::pixelsPerUnitY() const { return heightPx_ / height_; }

}  // namespace orvalis
