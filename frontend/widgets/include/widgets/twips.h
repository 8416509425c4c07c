#pragma once
// Window positions are given in twips (1/1440 inch); the front end lays them out at 15 twips per
// pixel (96 dots per inch).
#include <QFont>
#include <QRect>

namespace orvalis {

inline constexpr int TWIPS_PER_PIXEL = 15;

// Rounded to the nearest pixel; positions given in twips are multiples of 15 almost everywhere.
constexpr int twipsToPixels(int twips) {
    return (twips >= 0 ? twips + TWIPS_PER_PIXEL / 2 : twips - TWIPS_PER_PIXEL / 2) / TWIPS_PER_PIXEL;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

// "Times New Roman", or a serif with the same metrics (Liberation Serif) where it is missing.
QFont timesFont(double pointSize, bool bold = false, bool italic = false);
// The Japanese Gothic font, for the Greek letters and the file lists.
QFont gothicFont(double pointSize);

}  // namespace orvalis
