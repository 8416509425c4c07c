#pragma once
// Water-tank files in the comparison window: a file with several depth curves offers a chooser,
// an ionisation curve is converted to dose (the "ionisation" check box overrides the file), a curve
// of more than 150 points is resampled with its shape kept and a note under the plot says so, and
// "Beam quality" opens the table of the measured and the calculated curve. Bad files get a message
// naming the file and the line, and the window keeps its last curve. CSV files keep the window's
// own load; this class only reads their figures for the table.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "beamdata/depth_scan.h"
#include "beamdata/range_levels.h"
#include "common/message_sink.h"
#include "viewers/measured_dialogs.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace orvalis {

class ComparisonWindow;

class MeasuredScanImport : public QObject {
    Q_OBJECT
public:
    MeasuredScanImport(ComparisonWindow& window, MessageSink& messages);
    ~MeasuredScanImport() override;

    // True when the file is a water-tank export; it is then loaded here (or a message shown).
    bool loadIfWaterTank(const QString& path);

    void setChooser(ScanChooser* chooser) { chooser_ = chooser; }  // not owned; null: the dialog
    QCheckBox* ionisationBox() const { return ionisation_; }
    QLabel* note() const { return note_; }
    QPushButton* beamQualityButton() const { return qualityButton_; }
    BeamQualityDialog* beamQualityDialog() const { return dialog_; }

    // What orvalis-fit needs to read the loaded curve as the window does: the curve (from 1) and
    // the override of the file's detector; empty for a CSV file or an unchanged detection.
    std::optional<int> fitScan() const;
    std::optional<bool> fitIonisation() const;

public slots:
    void showBeamQuality();

private:
    void loadChosen();
    void measuredLoaded(const QString& path);
    void calculatedLoaded(const QString& path);
    void ionisationToggled(bool ionisation);

    ComparisonWindow& window_;
    MessageSink& messages_;
    std::unique_ptr<DialogScanChooser> dialogChooser_;
    ScanChooser* chooser_ = nullptr;
    QCheckBox* ionisation_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* qualityButton_ = nullptr;
    BeamQualityDialog* dialog_ = nullptr;

    // The water-tank curve loaded last, as read (before conversion).
    QString path_;
    QString fileName_;
    int scan_ = 0;  // from 1
    beamdata::DepthScan raw_;
    bool quantityOverridden_ = false;
    // The curves of the table.
    std::optional<beamdata::DepthScan> measured_;
    QString measuredSource_;
    std::optional<beamdata::DepthScan> calculated_;
    QString calculatedSource_;
    std::optional<beamdata::RangeLevels> calculatedSigma_;  // from the uncertainty file beside it
};

}  // namespace orvalis
