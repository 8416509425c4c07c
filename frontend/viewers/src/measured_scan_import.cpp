#include "viewers/measured_scan_import.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include "beamdata/beam_quality.h"
#include "beamdata/csv_measured_format.h"
#include "beamdata/free_format.h"
#include "beamdata/ionisation_to_dose.h"
#include "engine/run_error.h"
#include "viewers/comparison_window.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

// Places clear of the window's specified controls: left of the measured "OK", below the plot left
// of the icon, and right of "Graph clear".
constexpr int IONISATION_TWIPS[] = {120, 4950, 1035, 465};
constexpr int NOTE_TWIPS[] = {5760, 8430, 1880, 780};
constexpr int QUALITY_TWIPS[] = {4200, 8400, 1455, 495};

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

    note_ = new QLabel(&window);
    note_->setObjectName(QStringLiteral("MeasuredNote"));
    note_->setAccessibleName(QStringLiteral("About the measured curve"));
    note_->setFont(timesFont(8));
    note_->setWordWrap(true);
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    note_->setGeometry(twips(NOTE_TWIPS));

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
}

MeasuredScanImport::~MeasuredScanImport() = default;

bool MeasuredScanImport::loadIfWaterTank(const QString& path) {
    const std::optional<std::string> text = beamdata::text::readWholeFile(path.toStdString());
    if (!text || !viewers::isWaterTankText(*text)) return false;
    const QString fileName = QFileInfo(path).fileName();
    try {
        const beamdata::MeasuredFile file = beamdata::parseMeasuredText(*text, fileName.toStdString());
        int chosen = 0;
        if (file.depthScans.size() > 1) {
            QStringList rows;
            for (const std::string& row : viewers::scanChoiceRows(file)) rows << QString::fromStdString(row);
            const std::optional<int> row = (chooser_ ? chooser_ : dialogChooser_.get())->choose(fileName, rows);
            if (!row) return true;  // cancelled: nothing changes
            chosen = *row;
        }
        path_ = path;
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
    try {
        const beamdata::DepthScan dose = beamdata::depthDoseOf(raw_, choice, fileName_.toStdString());
        const viewers::ResampledCurve shown = viewers::resampleKeepingShape(dose.depthMm, dose.value);
        measured_ = dose;
        measuredSource_ = fileName_ + QStringLiteral(", curve %1: ").arg(scan_) +
                          QString::fromStdString(beamdata::describeScan(dose.info, dose.info.convertedToDose));
        note_->setText(QString::fromStdString(viewers::measuredNote(fileName_.toStdString(), scan_, dose.info, shown)));
        note_->setToolTip(note_->text());  // the whole note when the space under the plot cuts it
        ionisation_->setEnabled(true);
        window_.loadMeasuredCurve(path_, shown.depthMm, shown.value);
    } catch (const engine::RunError& e) {
        messages_.warn(e.what());
    }
}

void MeasuredScanImport::ionisationToggled(bool) {
    if (path_.isEmpty()) return;
    quantityOverridden_ = (ionisation_->isChecked()) != (raw_.info.quantity == beamdata::Quantity::Ionisation);
    loadChosen();
}

void MeasuredScanImport::measuredLoaded(const QString& path) {
    if (path == path_) return;  // the water-tank curve just loaded
    // A CSV file: its records as the table's measured curve; the water-tank state is gone.
    path_.clear();
    note_->clear();
    note_->setToolTip(QString());
    ionisation_->setEnabled(false);
    ionisation_->setChecked(false);
    measured_.reset();
    if (const std::optional<std::string> text = beamdata::text::readWholeFile(path.toStdString())) {
        try {
            measured_ = beamdata::csvDepthScan(*text, QFileInfo(path).fileName().toStdString());
            measuredSource_ = QFileInfo(path).fileName();
        } catch (const engine::RunError&) {
            // Depths out of order: the window draws such a file, but it has no figures.
        }
    }
    if (dialog_->isVisible()) showBeamQuality();
}

void MeasuredScanImport::calculatedLoaded(const QString& path) {
    calculated_.reset();
    calculatedSigma_ = window_.calculatedUncertainties();
    std::array<double, viewers::PDD_TABLE_LAST + 1> dose{};
    if (const std::optional<std::string> text = beamdata::text::readWholeFile(path.toStdString())) {
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

std::optional<bool> MeasuredScanImport::fitIonisation() const {
    if (path_.isEmpty() || !quantityOverridden_) return std::nullopt;
    return ionisation_->isChecked();
}

}  // namespace orvalis
