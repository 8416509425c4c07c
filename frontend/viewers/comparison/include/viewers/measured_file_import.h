#pragma once
// What the comparison window and the fit beside it ask of the reader of water-tank files. The
// reader lives with the water-tank feature and drives the window; the window knows it only through
// this seam, installed by whoever makes the two (the reader itself, when it is made on a window).
#include <QString>
#include <optional>

namespace orvalis {

class MeasuredFileImport {
public:
    virtual ~MeasuredFileImport() = default;

    // True when the file is a water-tank export, or has a water-tank name and cannot be read; it is
    // then loaded (or refused with a message) by the reader, and the window's own load is skipped.
    // A given `scan` (from 1) is loaded without asking.
    virtual bool loadIfWaterTank(const QString& path, std::optional<int> scan = std::nullopt) = 0;

    // What orvalis-fit needs to read the loaded curve as the window does: the curve (from 1) and
    // the override of the file's detector; empty for a CSV file or an unchanged detection.
    virtual std::optional<int> fitScan() const = 0;
    virtual std::optional<bool> fitIonisation() const = 0;
    // True when the loaded curve's depths are read as cm.
    virtual bool fitDepthsInCm() const = 0;

protected:
    MeasuredFileImport() = default;
    MeasuredFileImport(const MeasuredFileImport&) = default;
    MeasuredFileImport& operator=(const MeasuredFileImport&) = default;
};

}  // namespace orvalis
