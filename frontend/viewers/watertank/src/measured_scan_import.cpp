#include "viewers/measured_scan_import.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

#include "beamdata/beam_quality.h"
#include "beamdata/csv_measured_format.h"
#include "beamdata/free_format.h"
#include "beamdata/ionisation_to_dose.h"
#include "engine/run_error.h"
#include "viewers/comparison_window.h"
#include "widgets/native_path.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

// Places clear of the window's specified controls: left of the measured "OK", below the plot left
// of the icon, and right of "Graph clear".
constexpr int IONISATION_TWIPS[] = {120, 4950, 1035, 465};
constexpr int NOTE_TWIPS[] = {5760, 8430, 1880, 780};
constexpr int QUALITY_TWIPS[] = {4200, 8400, 1455, 495};
constexpr int DEPTHS_IN_CM_TWIPS[] = {120, 5460, 1140, 420};  // under the ionisation box
const std::string CM_HINT = "tick \"depths in cm\" if they are";

QRect twips(const int (&r)[4]) { return twipsRect(r[0], r[1], r[2], r[3]); }

std::optional<beamdata::BeamQuality> qualityOf(const std::optional<beamdata::DepthScan>& curve) {
    if (!curve) return std::nullopt;
    return beamdata::beamQuality(curve->depthMm, curve->value);
}

}  // namespace

MeasuredScanImport::MeasuredScanImport(ComparisonWindow& window, MessageSink& messages)
    : QObject(&window), window_(window), messages_(messages) {
    dialogChooser_ = std::make_unique<DialogScanChooser>(&window);
    ionisation_ = new QCheckBox(QStringLiteral("ionisation"), &window);
    ionisation_->setObjectName(QStringLiteral("IonisationCheck"));
    ionisation_->setAccessibleName(QStringLiteral("The measured water-tank curve is ionisation"));
    ionisation_->setToolTip(
        QStringLiteral("Ticked: the water-tank curve is ionisation and is converted to dose\n"
                       "(set from the file's detector; untick or tick to override)"));
    ionisation_->setFont(timesFont(9));
    ionisation_->setGeometry(twips(IONISATION_TWIPS));
    ionisation_->setEnabled(false);
    connect(ionisation_, &QCheckBox::clicked, this, &MeasuredScanImport::ionisationToggled);

    depthsInCm_ = new QCheckBox(QStringLiteral("depths in cm"), &window);
    depthsInCm_->setObjectName(QStringLiteral("DepthsInCmCheck"));
    depthsInCm_->setAccessibleName(QStringLiteral("The measured depths are in cm"));
    depthsInCm_->setToolTip(QStringLiteral("Ticked: the measured file's depths are cm and are multiplied by 10"));
    depthsInCm_->setFont(timesFont(9));
    depthsInCm_->setGeometry(twips(DEPTHS_IN_CM_TWIPS));
    connect(depthsInCm_, &QCheckBox::clicked, this, &MeasuredScanImport::depthsInCmToggled);

    // The note can run to several lines (file, curve, conversion, resampling); the little room under
    // the plot scrolls rather than cutting it.
    noteBox_ = new QScrollArea(&window);
    noteBox_->setObjectName(QStringLiteral("MeasuredNoteBox"));
    noteBox_->setAccessibleName(QStringLiteral("About the measured curve, scrollable"));
    noteBox_->setFrameShape(QFrame::NoFrame);
    noteBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    noteBox_->setWidgetResizable(true);
    noteBox_->setGeometry(twips(NOTE_TWIPS));
    note_ = new QLabel;
    note_->setObjectName(QStringLiteral("MeasuredNote"));
    note_->setAccessibleName(QStringLiteral("About the measured curve"));
    note_->setFont(timesFont(8));
    note_->setWordWrap(true);
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    noteBox_->setWidget(note_);

    qualityButton_ = new QPushButton(QStringLiteral("Beam quality"), &window);
    qualityButton_->setObjectName(QStringLiteral("BeamQualityButton"));
    qualityButton_->setAccessibleName(QStringLiteral("Beam quality of the measured and the calculated curve"));
    qualityButton_->setFont(timesFont(11.25));
    qualityButton_->setGeometry(twips(QUALITY_TWIPS));
    connect(qualityButton_, &QPushButton::clicked, this, &MeasuredScanImport::showBeamQuality);

    dialog_ = new BeamQualityDialog(&window);
    dialog_->setWindowFlag(Qt::Tool);
    connect(&window, &ComparisonWindow::measuredLoaded, this, &MeasuredScanImport::measuredLoaded);
    connect(&window, &ComparisonWindow::calculatedLoaded, this, &MeasuredScanImport::calculatedLoaded);
    window.setMeasuredImport(this);
}

MeasuredScanImport::~MeasuredScanImport() = default;

bool MeasuredScanImport::loadIfWaterTank(const QString& path, std::optional<int> scan) {
    const std::optional<std::string> text = beamdata::text::readWholeFile(nativeBytes(path));
    const QString fileName = QFileInfo(path).fileName();
    if (!text || !viewers::isWaterTankText(*text)) {
        // Junk under a water-tank name gets the reader's own reason, not the CSV message.
        const std::optional<std::string> why = viewers::waterTankReadError(text, fileName.toStdString());
        if (why) messages_.warn(*why);
        return why.has_value();
    }
    try {
        const beamdata::MeasuredFile file = beamdata::parseMeasuredText(*text, fileName.toStdString());
        int chosen = 0;
        if (scan && *scan >= 1 && static_cast<std::size_t>(*scan) <= file.depthScans.size()) {
            chosen = *scan - 1;
        } else if (file.depthScans.size() > 1) {
            QStringList rows;
            for (const std::string& row : viewers::scanChoiceRows(file)) rows << QString::fromStdString(row);
            const std::optional<int> row = (chooser_ ? chooser_ : dialogChooser_.get())->choose(fileName, rows);
            if (!row) return true;  // cancelled: nothing changes
            chosen = *row;
        }
        const std::optional<int> label = file.depthScans.size() > 1 ? std::optional<int>(chosen + 1) : std::nullopt;
        beamdata::DepthScan scaled = file.depthScans[static_cast<std::size_t>(chosen)];
        beamdata::applyDepthUnit(scaled, depthUnit());
        if (refused(scaled, fileName, label)) return true;  // the window keeps its last curve
        labelledScan_ = label.value_or(0);
        path_ = path;
        csvPath_.clear();
        fileName_ = fileName;
        scan_ = chosen + 1;
        raw_ = file.depthScans[static_cast<std::size_t>(chosen)];
        quantityOverridden_ = false;
        ionisation_->setChecked(raw_.info.quantity == beamdata::Quantity::Ionisation);
        loadChosen();
    } catch (const engine::RunError& e) {
        messages_.warn(e.what());
    }
    return true;
}

void MeasuredScanImport::loadChosen() {
    const auto choice = ionisation_->isChecked() ? beamdata::QuantityChoice::Ionisation
                                                 : beamdata::QuantityChoice::Dose;
    beamdata::DepthScan scaled = raw_;
    beamdata::applyDepthUnit(scaled, depthUnit());
    const std::optional<int> label = labelledScan_ ? std::optional<int>(labelledScan_) : std::nullopt;
    if (refused(scaled, fileName_, label)) return;
    try {
        const beamdata::DepthScan dose = beamdata::depthDoseOf(scaled, choice, fileName_.toStdString());
        const viewers::ResampledCurve shown = viewers::resampleKeepingShape(dose.depthMm, dose.value);
        measured_ = dose;
        measuredSource_ = fileName_ + QStringLiteral(", curve %1: ").arg(scan_) +
                          QString::fromStdString(beamdata::describeScan(dose.info, dose.info.convertedToDose));
        note_->setText(QString::fromStdString(viewers::measuredNote(fileName_.toStdString(), scan_, dose.info, shown)));
        note_->setToolTip(note_->text());
        ionisation_->setEnabled(true);
        QString curveName = fileName_ + QStringLiteral(", curve %1").arg(scan_);
        if (dose.info.convertedToDose) curveName += QStringLiteral(", ionisation \u2192 dose");
        window_.loadMeasuredCurve(path_, curveName, shown.depthMm, shown.value);
    } catch (const engine::RunError& e) {
        messages_.warn(e.what());
    }
}

void MeasuredScanImport::ionisationToggled(bool) {
    if (path_.isEmpty()) return;
    quantityOverridden_ = (ionisation_->isChecked()) != (raw_.info.quantity == beamdata::Quantity::Ionisation);
    loadChosen();
}

void MeasuredScanImport::depthsInCmToggled(bool) {
    if (!path_.isEmpty())
        loadChosen();
    else if (!csvPath_.isEmpty())
        takeCsv(csvPath_);
}

beamdata::DepthUnit MeasuredScanImport::depthUnit() const {
    return depthsInCm_->isChecked() ? beamdata::DepthUnit::Cm : beamdata::DepthUnit::Mm;
}

bool MeasuredScanImport::refused(const beamdata::DepthScan& scan, const QString& fileName, std::optional<int> label) {
    const auto refusal = beamdata::curveRefusal(scan.depthMm, scan.value, depthUnit());
    if (refusal) messages_.warn(beamdata::refusalMessage(fileName.toStdString(), label, *refusal, CM_HINT));
    return refusal.has_value();
}

void MeasuredScanImport::measuredLoaded(const QString& path) {
    // Else the water-tank curve, or the CSV curve in cm, was just drawn and is already taken.
    if (path != path_ && !redrawingCsv_) takeCsvFile(path);
    if (dialog_->isVisible()) showBeamQuality();
}

void MeasuredScanImport::takeCsvFile(const QString& path) {
    // Its records as the table's measured curve; the water-tank state is gone.
    path_.clear();
    note_->clear();
    note_->setToolTip(QString());
    ionisation_->setEnabled(false);
    ionisation_->setChecked(false);
    takeCsv(path);
}

void MeasuredScanImport::takeCsv(const QString& path) {
    csvPath_ = path;
    measured_.reset();
    if (const std::optional<std::string> text = beamdata::text::readWholeFile(nativeBytes(path))) {
        const QString fileName = QFileInfo(path).fileName();
        try {
            beamdata::DepthScan curve = beamdata::csvDepthScan(*text, fileName.toStdString());
            beamdata::applyDepthUnit(curve, depthUnit());
            if (!refused(curve, fileName, std::nullopt)) {
                measured_ = curve;
                measuredSource_ = fileName;
                if (depthUnit() == beamdata::DepthUnit::Cm) {
                    // The window's own load drew the depths as mm: draw the curve again in mm.
                    const viewers::ResampledCurve shown = viewers::resampleKeepingShape(curve.depthMm, curve.value);
                    redrawingCsv_ = true;
                    window_.loadMeasuredCurve(path, fileName, shown.depthMm, shown.value);
                    redrawingCsv_ = false;
                }
            }
        } catch (const engine::RunError&) {
            // Depths out of order: the window draws such a file, but it has no figures.
        }
    }
}

void MeasuredScanImport::calculatedLoaded(const QString& path) {
    calculated_.reset();
    calculatedSigma_ = window_.calculatedUncertainties();
    std::array<double, viewers::PDD_TABLE_LAST + 1> dose{};
    if (const std::optional<std::string> text = beamdata::text::readWholeFile(nativeBytes(path))) {
        if (viewers::loadCalculatedPdd(*text, dose).maxDose) {
            beamdata::DepthScan curve;
            viewers::calculatedCurvePoints(dose, curve.depthMm, curve.value);
            calculated_ = curve;
            calculatedSource_ = QFileInfo(path).fileName();
        }
    }
    if (dialog_->isVisible()) showBeamQuality();
}

void MeasuredScanImport::showBeamQuality() {
    dialog_->showRows(viewers::qualityRows(qualityOf(measured_), qualityOf(calculated_),
                                           calculated_ ? calculatedSigma_ : std::nullopt),
                      measured_ ? measuredSource_ : QString(), calculated_ ? calculatedSource_ : QString());
    dialog_->show();
    dialog_->raise();
}

std::optional<int> MeasuredScanImport::fitScan() const {
    if (path_.isEmpty()) return std::nullopt;
    return scan_;
}

bool MeasuredScanImport::fitDepthsInCm() const {
    return depthsInCm_->isChecked() && (!path_.isEmpty() || !csvPath_.isEmpty());
}

std::optional<bool> MeasuredScanImport::fitIonisation() const {
    if (path_.isEmpty() || !quantityOverridden_) return std::nullopt;
    return ionisation_->isChecked();
}

}  // namespace orvalis
