#pragma once
// Water-tank files in the comparison window: a file with several depth curves offers a chooser,
// an ionisation curve is converted to dose (the "ionisation" check box overrides the file), a curve
// of more than 150 points is resampled with its shape kept and a note under the plot says so, and
// "Beam quality" opens the table of the measured and the calculated curve. Bad files get a message
// naming the file and the line, and the window keeps its last curve. CSV files keep the window's
// own load; this class only reads their figures for the table. A curve that cannot be a depth dose
// in mm (too few points, depths that look like cm, a second peak) gets a message naming the file
// and why, and no figures; the "depths in cm" box reads the depths as cm (CSV files included).
// Made on a window, it places its controls there and installs itself as the window's reader.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "beamdata/curve_plausibility.h"
#include "beamdata/depth_scan.h"
#include "beamdata/range_levels.h"
#include "common/message_sink.h"
#include "viewers/measured_dialogs.h"
#include "viewers/measured_file_import.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace orvalis {

class ComparisonWindow;

class MeasuredScanImport : public QObject, public MeasuredFileImport {
    Q_OBJECT
public:
    // A child of `window`, so it lives as long as the window does.
    MeasuredScanImport(ComparisonWindow& window, MessageSink& messages);
    ~MeasuredScanImport() override;

    // True when the file is a water-tank export, or has a water-tank name and cannot be read; it is
    // then loaded here, or a message naming the file and the reason is shown. A given `scan` (from 1)
    // is loaded without asking.
    bool loadIfWaterTank(const QString& path, std::optional<int> scan = std::nullopt) override;

    void setChooser(ScanChooser* chooser) { chooser_ = chooser; }  // not owned; null: the dialog
    QCheckBox* ionisationBox() const { return ionisation_; }
    QCheckBox* depthsInCmBox() const { return depthsInCm_; }
    QLabel* note() const { return note_; }
    QScrollArea* noteBox() const { return noteBox_; }  // the note's place under the plot
    QPushButton* beamQualityButton() const { return qualityButton_; }
    BeamQualityDialog* beamQualityDialog() const { return dialog_; }

    std::optional<int> fitScan() const override;
    std::optional<bool> fitIonisation() const override;
    bool fitDepthsInCm() const override;

public slots:
    void showBeamQuality();

private:
    void loadChosen();
    // The table follows every load that succeeded: a water-tank curve, a CSV file, a calculated file.
    void measuredLoaded(const QString& path);
    void takeCsvFile(const QString& path);
    void calculatedLoaded(const QString& path);
    void ionisationToggled(bool ionisation);
    void depthsInCmToggled(bool inCm);
    beamdata::DepthUnit depthUnit() const;
    // The message for a curve that cannot be a depth dose in mm; true when it was refused.
    bool refused(const beamdata::DepthScan& scan, const QString& fileName, std::optional<int> label);
    void takeCsv(const QString& path);

    ComparisonWindow& window_;
    MessageSink& messages_;
    std::unique_ptr<DialogScanChooser> dialogChooser_;
    ScanChooser* chooser_ = nullptr;
    QCheckBox* ionisation_ = nullptr;
    QCheckBox* depthsInCm_ = nullptr;
    QScrollArea* noteBox_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* qualityButton_ = nullptr;
    BeamQualityDialog* dialog_ = nullptr;

    // The water-tank curve loaded last, as read (before conversion).
    QString path_;
    QString fileName_;
    int scan_ = 0;  // from 1
    beamdata::DepthScan raw_;
    bool quantityOverridden_ = false;
    int labelledScan_ = 0;  // the curve's number in messages; 0 for the only curve of its file
    // The CSV file loaded last, and whether its curve is being drawn again in mm.
    QString csvPath_;
    bool redrawingCsv_ = false;
    // The curves of the table.
    std::optional<beamdata::DepthScan> measured_;
    QString measuredSource_;
    std::optional<beamdata::DepthScan> calculated_;
    QString calculatedSource_;
    std::optional<beamdata::RangeLevels> calculatedSigma_;  // from the uncertainty file beside it
};

}  // namespace orvalis
