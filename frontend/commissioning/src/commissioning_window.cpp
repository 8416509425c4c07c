#include "commissioning/commissioning_window.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>

#include "beamdata/depth_scan.h"
#include "commissioning/commissioning_run.h"
#include "engine/run_error.h"

namespace orvalis {

namespace {

constexpr const char* LEVELS[] = {"R90", "R80", "R50", "R10"};
constexpr const char* DEFAULT_TOLERANCES[] = {"0.5", "0.5", "0.5", "1.0"};
constexpr const char* DEFAULT_CONFIRM_HISTORIES = "10000000";
const QColor PASS_COLOUR(200, 240, 200);
const QColor FAIL_COLOUR(250, 200, 200);
enum ResultColumn { LABEL, ENERGY, PROGRESS, R50, WORST, RESULT, RESULT_COLUMNS };

QString native(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}
std::filesystem::path pathOf(const QString& text) {
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

QString describe(const beamdata::ScanInfo& info) { return QString::fromStdString(beamdata::describeScan(info, false)); }

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QString millimetres(const std::optional<double>& mm) { return mm ? QString::number(*mm, 'f', 2) : QStringLiteral("-"); }

}  // namespace

CommissioningWindow::CommissioningWindow(const Context& context, QWidget* parent)
    : QWidget(parent), messages_(context.messages), program_(context.program), workFolder_(context.workFolder) {
    setObjectName(QStringLiteral("Commissioning"));
    setWindowTitle(QStringLiteral("Commissioning"));
    buildControls();
    connect(&process_, &QProcess::readyReadStandardOutput, this, &CommissioningWindow::readOutput);
    connect(&process_, &QProcess::finished, this, &CommissioningWindow::processFinished);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) processFinished(-1, QProcess::CrashExit);
    });
}

CommissioningWindow::~CommissioningWindow() {
    if (isRunning()) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
        process_.waitForFinished();
    }
}

void CommissioningWindow::buildControls() {
    auto* grid = new QGridLayout(this);
    auto* pick = new QHBoxLayout;
    auto* files = new QPushButton(QStringLiteral("Add files..."), this);
    files->setObjectName(QStringLiteral("CommissioningAddFiles"));
    auto* folder = new QPushButton(QStringLiteral("Add folder..."), this);
    folder->setObjectName(QStringLiteral("CommissioningAddFolder"));
    connect(files, &QPushButton::clicked, this, &CommissioningWindow::addFiles);
    connect(folder, &QPushButton::clicked, this, &CommissioningWindow::addFolder);
    pick->addWidget(files);
    pick->addWidget(folder);
    pick->addStretch();
    grid->addLayout(pick, 0, 0, 1, 4);

    curves_ = new QTableWidget(0, 3, this);
    curves_->setObjectName(QStringLiteral("CommissioningCurves"));
    curves_->setAccessibleName(QStringLiteral("Depth curves to commission"));
    curves_->setHorizontalHeaderLabels({QStringLiteral("curve"), QStringLiteral("beam"), QStringLiteral("file")});
    curves_->horizontalHeader()->setStretchLastSection(true);
    grid->addWidget(curves_, 1, 0, 1, 4);

    auto* settings = new QGridLayout;
    settings->addWidget(new QLabel(QStringLiteral("Tolerance (mm)"), this), 0, 0);
    for (int k = 0; k < 4; ++k) {
        settings->addWidget(new QLabel(QString::fromLatin1(LEVELS[k]), this), 0, 1 + 2 * k);
        auto* box = new QLineEdit(QString::fromLatin1(DEFAULT_TOLERANCES[k]), this);
        box->setObjectName(QStringLiteral("CommissioningTolerance%1").arg(LEVELS[k]));
        box->setAccessibleName(QStringLiteral("Tolerance of %1 in mm").arg(LEVELS[k]));
        box->setMaximumWidth(60);
        settings->addWidget(box, 0, 2 + 2 * k);
        tolerances_.push_back(box);
    }
    confirm_ = new QCheckBox(QStringLiteral("Confirm with Tolvane, histories"), this);
    confirm_->setObjectName(QStringLiteral("CommissioningConfirm"));
    settings->addWidget(confirm_, 1, 0, 1, 3);
    confirmHistories_ = new QLineEdit(QString::fromLatin1(DEFAULT_CONFIRM_HISTORIES), this);
    confirmHistories_->setObjectName(QStringLiteral("CommissioningConfirmHistories"));
    confirmHistories_->setAccessibleName(QStringLiteral("Histories of each confirming Tolvane run"));
    settings->addWidget(confirmHistories_, 1, 3, 1, 2);
    settings->addWidget(new QLabel(QStringLiteral("Title"), this), 2, 0);
    title_ = new QLineEdit(QStringLiteral("Electron beam commissioning"), this);
    title_->setObjectName(QStringLiteral("CommissioningTitle"));
    settings->addWidget(title_, 2, 1, 1, 8);
    settings->addWidget(new QLabel(QStringLiteral("Output folder"), this), 3, 0);
    output_ = new QLineEdit(QDir(workFolder_).filePath(QStringLiteral("commissioning")), this);
    output_->setObjectName(QStringLiteral("CommissioningOutput"));
    output_->setAccessibleName(QStringLiteral("Folder of the report"));
    settings->addWidget(output_, 3, 1, 1, 7);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    connect(browse, &QPushButton::clicked, this, &CommissioningWindow::chooseOutput);
    settings->addWidget(browse, 3, 8);
    grid->addLayout(settings, 2, 0, 1, 4);

    start_ = new QPushButton(QStringLiteral("Start"), this);
    start_->setObjectName(QStringLiteral("CommissioningStart"));
    connect(start_, &QPushButton::clicked, this, &CommissioningWindow::start);
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setObjectName(QStringLiteral("CommissioningStop"));
    stop_->setEnabled(false);
    connect(stop_, &QPushButton::clicked, this, [this] { process_.terminate(); });
    overall_ = new QProgressBar(this);
    overall_->setObjectName(QStringLiteral("CommissioningOverall"));
    overall_->setAccessibleName(QStringLiteral("Beams done"));
    overall_->setValue(0);
    openReport_ = new QPushButton(QStringLiteral("Open report"), this);
    openReport_->setObjectName(QStringLiteral("CommissioningOpenReport"));
    openReport_->setEnabled(false);
    connect(openReport_, &QPushButton::clicked, this, &CommissioningWindow::openReport);
    grid->addWidget(start_, 3, 0);
    grid->addWidget(stop_, 3, 1);
    grid->addWidget(overall_, 3, 2);
    grid->addWidget(openReport_, 3, 3);

    results_ = new QTableWidget(0, RESULT_COLUMNS, this);
    results_->setObjectName(QStringLiteral("CommissioningResults"));
    results_->setAccessibleName(QStringLiteral("Results of the beams; a row opens its beam"));
    results_->setHorizontalHeaderLabels({QStringLiteral("beam"), QStringLiteral("energy"), QStringLiteral("fit"),
                                         QStringLiteral("R50 (mm)"), QStringLiteral("worst (mm)"),
                                         QStringLiteral("result")});
    results_->horizontalHeader()->setStretchLastSection(true);
    connect(results_, &QTableWidget::cellActivated, this, [this](int row, int) { openRow(row); });
    connect(results_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openRow(row); });
    grid->addWidget(results_, 4, 0, 1, 4);
    resize(760, 640);
}

void CommissioningWindow::setInputs(const std::vector<std::filesystem::path>& inputs) {
    inputs_ = inputs;
    beams_.clear();
    try {
        beams_ = commission::listBeams(commission::measuredFiles(inputs_));
    } catch (const engine::RunError& e) {
        messages_.warn(e.what());
    }
    curves_->setRowCount(static_cast<int>(beams_.size()));
    for (std::size_t k = 0; k < beams_.size(); ++k) {
        const commission::BeamEntry& beam = beams_[k];
        const int row = static_cast<int>(k);
        auto* label = cell(native(beam.label));
        if (beam.skipReason) {
            label->setFlags(label->flags() & ~Qt::ItemIsUserCheckable & ~Qt::ItemIsEnabled);
            label->setToolTip(QString::fromStdString(*beam.skipReason));
        } else {
            label->setFlags(label->flags() | Qt::ItemIsUserCheckable);
            label->setCheckState(Qt::Checked);
        }
        curves_->setItem(row, 0, label);
        curves_->setItem(row, 1,
                         cell(beam.skipReason ? QStringLiteral("skipped: ") + QString::fromStdString(*beam.skipReason)
                                              : describe(beam.info)));
        curves_->setItem(row, 2, cell(native(beam.file)));
    }
    curves_->resizeColumnsToContents();
}

void CommissioningWindow::setOutputFolder(const QString& folder) { output_->setText(folder); }

void CommissioningWindow::addFiles() {
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Measured files"), workFolder_,
        QStringLiteral("Measured depth curves (*.csv *.mcc *.asc *.txt *.cdp);;All files (*)"));
    if (chosen.isEmpty()) return;
    std::vector<std::filesystem::path> inputs = inputs_;
    for (const QString& file : chosen) inputs.push_back(pathOf(file));
    setInputs(inputs);
}

void CommissioningWindow::addFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Folder of measured files"),
                                                             workFolder_);
    if (chosen.isEmpty()) return;
    std::vector<std::filesystem::path> inputs = inputs_;
    inputs.push_back(pathOf(chosen));
    setInputs(inputs);
}

void CommissioningWindow::chooseOutput() {
    const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Output folder"), output_->text());
    if (!chosen.isEmpty()) output_->setText(chosen);
}

void CommissioningWindow::start() {
    if (isRunning() || beams_.empty()) return;
    commissioning::CommissioningRequest request;
    for (const auto& input : inputs_) request.inputs.push_back(input.string());
    request.outFolder = pathOf(output_->text()).string();
    request.title = title_->text().toStdString();
    for (std::size_t k = 0; k < tolerances_.size(); ++k) {
        bool ok = false;
        const double mm = tolerances_[k]->text().toDouble(&ok);
        if (!ok || mm < 0.0) {
            messages_.warn(std::string("The tolerance of ") + LEVELS[k] + " is not a depth in mm.");
            return;
        }
        request.toleranceMm[LEVELS[k]] = mm;
    }
    if (confirm_->isChecked()) {
        bool ok = false;
        const int histories = confirmHistories_->text().toInt(&ok);
        if (!ok || histories < 1) {
            messages_.warn("The histories of the confirming run are not a positive whole number.");
            return;
        }
        request.confirmHistories = histories;
    }
    results_->setRowCount(0);
    fittedRows_.clear();
    for (std::size_t k = 0; k < beams_.size(); ++k) {
        const commission::BeamEntry& beam = beams_[k];
        if (beam.skipReason) continue;
        if (curves_->item(static_cast<int>(k), 0)->checkState() != Qt::Checked) {
            request.skipLabels.push_back(beam.label);
            continue;
        }
        const int row = results_->rowCount();
        results_->insertRow(row);
        results_->setItem(row, LABEL, cell(native(beam.label)));
        results_->setItem(row, ENERGY,
                          cell(beam.info.energyMeV ? QString::number(*beam.info.energyMeV) + " MeV" : "-"));
        auto* bar = new QProgressBar(results_);
        bar->setRange(0, 100);
        bar->setValue(0);
        results_->setCellWidget(row, PROGRESS, bar);
        for (int column : {R50, WORST, RESULT}) results_->setItem(row, column, cell(QString()));
        results_->item(row, LABEL)->setData(Qt::UserRole, static_cast<int>(k));
        fittedRows_.push_back(row);
    }
    if (fittedRows_.empty()) {
        messages_.warn("No depth curve is ticked.");
        return;
    }
    overall_->setRange(0, static_cast<int>(fittedRows_.size()));
    overall_->setValue(0);
    openReport_->setEnabled(false);
    QStringList arguments;
    for (const std::string& argument : commissioning::commissionArguments(request))
        arguments << QFile::decodeName(QByteArray::fromStdString(argument));
    pending_.clear();
    process_.setWorkingDirectory(workFolder_);
    process_.setProgram(program_);
    process_.setArguments(arguments);
    start_->setEnabled(false);
    stop_->setEnabled(true);
    process_.start();
}

void CommissioningWindow::readOutput() {
    pending_ += QString::fromUtf8(process_.readAllStandardOutput());
    qsizetype end = 0;
    while ((end = pending_.indexOf(QLatin1Char('\n'))) >= 0) {
        const std::string line = pending_.left(end).toStdString();
        pending_.remove(0, end + 1);
        const auto event = commissioning::parseCommissionLine(line);
        if (!event) continue;
        if (event->kind == commissioning::CommissionEvent::Kind::Overall) {
            overall_->setValue(event->done);
            continue;
        }
        if (event->beam < 1 || event->beam > static_cast<int>(fittedRows_.size())) continue;
        const int row = fittedRows_[static_cast<std::size_t>(event->beam - 1)];
        auto* bar = qobject_cast<QProgressBar*>(results_->cellWidget(row, PROGRESS));
        if (event->kind == commissioning::CommissionEvent::Kind::BeamProgress) {
            if (bar) bar->setValue(event->done);
            continue;
        }
        if (bar) bar->setValue(100);
        results_->item(row, R50)->setText(millimetres(event->r50Mm));
        results_->item(row, WORST)->setText(millimetres(event->worstMm));
        const QString verdict = !event->fitted ? QStringLiteral("not fitted")
                                : event->pass  ? QStringLiteral("pass")
                                               : QStringLiteral("FAIL");
        results_->item(row, RESULT)->setText(verdict);
        for (int column = 0; column < RESULT_COLUMNS; ++column)
            if (auto* item = results_->item(row, column)) item->setBackground(event->pass ? PASS_COLOUR : FAIL_COLOUR);
    }
}

void CommissioningWindow::processFinished(int exitCode, QProcess::ExitStatus status) {
    readOutput();
    start_->setEnabled(true);
    stop_->setEnabled(false);
    const bool written = QFileInfo::exists(reportPath());
    openReport_->setEnabled(written);
    if (status != QProcess::NormalExit || (exitCode != 0 && exitCode != 3)) {
        const QString errors = QString::fromUtf8(process_.readAllStandardError()).trimmed();
        messages_.warn(("orvalis-commission did not finish" +
                        (errors.isEmpty() ? QString(".") : QStringLiteral(": ") + errors.section('\n', -1)))
                           .toStdString());
    }
    emit finished(written);
}

QString CommissioningWindow::reportPath() const {
    return QDir(QDir(workFolder_).absoluteFilePath(output_->text())).filePath(commissioning::REPORT_PDF);
}

void CommissioningWindow::openReport() { QDesktopServices::openUrl(QUrl::fromLocalFile(reportPath())); }

void CommissioningWindow::openRow(int row) {
    const QTableWidgetItem* item = results_->item(row, LABEL);
    if (!item) return;
    const auto k = static_cast<std::size_t>(item->data(Qt::UserRole).toInt());
    if (k >= beams_.size()) return;
    emit beamOpened(native(beams_[k].file), beams_[k].scan);
}

}  // namespace orvalis
