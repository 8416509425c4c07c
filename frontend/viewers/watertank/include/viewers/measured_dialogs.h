#pragma once
// The two small windows of water-tank data in the comparison window: the chooser of one depth
// curve among several, and the beam-quality table of the measured and the calculated curve.
#include <QDialog>
#include <QStringList>
#include <optional>
#include <vector>

#include "viewers/measured_import.h"

class QLabel;
class QListWidget;
class QTableWidget;

namespace orvalis {

// Lists the depth curves of a file; the chosen row (from 0) once accepted.
class ScanChooserDialog : public QDialog {
    Q_OBJECT
public:
    ScanChooserDialog(const QString& fileName, const QStringList& rows, QWidget* parent = nullptr);
    int chosenRow() const;
    QListWidget* list() const { return list_; }

private:
    QListWidget* list_ = nullptr;
};

// Asks which curve of a file to load; tests put a recorder in its place.
class ScanChooser {
public:
    virtual ~ScanChooser() = default;
    // The chosen row (from 0), or nothing when the user cancelled.
    virtual std::optional<int> choose(const QString& fileName, const QStringList& rows) = 0;
};

class DialogScanChooser : public ScanChooser {
public:
    explicit DialogScanChooser(QWidget* parent) : parent_(parent) {}
    std::optional<int> choose(const QString& fileName, const QStringList& rows) override;

private:
    QWidget* parent_;
};

// "Beam quality": the figures of the measured and the calculated curve and their difference.
class BeamQualityDialog : public QDialog {
    Q_OBJECT
public:
    explicit BeamQualityDialog(QWidget* parent = nullptr);
    void showRows(const std::vector<viewers::QualityRow>& rows, const QString& measuredSource,
                  const QString& calculatedSource);
    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_ = nullptr;
    QLabel* sources_ = nullptr;
};

}  // namespace orvalis
