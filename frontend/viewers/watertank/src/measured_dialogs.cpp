#include "viewers/measured_dialogs.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orvalis {

ScanChooserDialog::ScanChooserDialog(const QString& fileName, const QStringList& rows, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ScanChooser"));
    setWindowTitle(QStringLiteral("Choose a depth curve"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(fileName + QStringLiteral(" holds %1 depth curves. Load which one?").arg(rows.size()));
    layout->addWidget(heading);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ScanList"));
    list_->setAccessibleName(QStringLiteral("Depth curves of the file"));
    for (int k = 0; k < rows.size(); ++k) list_->addItem(QStringLiteral("%1: ").arg(k + 1) + rows[k]);
    list_->setCurrentRow(0);
    list_->setMinimumWidth(list_->sizeHintForColumn(0) + 40);
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
}

int ScanChooserDialog::chosenRow() const { return list_->currentRow(); }

std::optional<int> DialogScanChooser::choose(const QString& fileName, const QStringList& rows) {
    ScanChooserDialog dialog(fileName, rows, parent_);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenRow() < 0) return std::nullopt;
    return dialog.chosenRow();
}

BeamQualityDialog::BeamQualityDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("BeamQuality"));
    setWindowTitle(QStringLiteral("Beam quality"));
    auto* layout = new QVBoxLayout(this);
    sources_ = new QLabel(this);
    sources_->setObjectName(QStringLiteral("BeamQualitySources"));
    sources_->setWordWrap(true);
    layout->addWidget(sources_);
    table_ = new QTableWidget(12, 3, this);
    table_->setObjectName(QStringLiteral("BeamQualityTable"));
    table_->setAccessibleName(QStringLiteral("Beam-quality figures, measured and calculated"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("measured"), QStringLiteral("calculated"), QStringLiteral("difference")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(table_);
    auto* note = new QLabel(
        QStringLiteral("Depths in mm, doses in % of the maximum, energies in MeV; difference = measured - calculated.\n"
                       "E0 = 2.33 MeV/cm R50, Ep,0 = 0.22 + 1.98 Rp + 0.0025 Rp\u00B2, zref = 0.6 R50 - 0.1 cm."),
        this);
    note->setWordWrap(true);
    layout->addWidget(note);
    resize(520, 520);
}

void BeamQualityDialog::showRows(const std::vector<viewers::QualityRow>& rows, const QString& measuredSource,
                                 const QString& calculatedSource) {
    sources_->setText(
        QStringLiteral("Measured: ") + (measuredSource.isEmpty() ? QStringLiteral("none") : measuredSource) +
        QStringLiteral("\nCalculated: ") + (calculatedSource.isEmpty() ? QStringLiteral("none") : calculatedSource));
    table_->setRowCount(static_cast<int>(rows.size()));
    QStringList names;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        names << QString::fromStdString(rows[r].figure);
        const std::string* cells[] = {&rows[r].measured, &rows[r].calculated, &rows[r].difference};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(*cells[c]));
            item->setTextAlignment(Qt::AlignCenter);
            table_->setItem(static_cast<int>(r), c, item);
        }
    }
    table_->setVerticalHeaderLabels(names);
}

}  // namespace orvalis
