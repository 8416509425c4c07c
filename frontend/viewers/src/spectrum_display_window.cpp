#include "viewers/spectrum_display_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

#include "beamdata/free_format.h"
#include "beamdata/title_decoding.h"
#include "viewers/fluence_file.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"
#include "widgets/form_controls.h"
#include "widgets/native_path.h"
#include "widgets/palette.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

constexpr WindowFrame FRAME{"Form4", "Orvalis - Spectrum Display", "Spectrum display", 14160, 8040};
const QColor GRID_GREY(128, 128, 128);
constexpr double MAIN_FONT_PT = 12.0;

const char* fluenceMessage(viewers::FluenceError error) {
    switch (error) {
    case viewers::FluenceError::TooManyPoints: return " This fluence file has more than 100 points !";
    case viewers::FluenceError::AllZero: return " All fluences of this file are 0 !";
    case viewers::FluenceError::Unreadable: break;
    }
    return " I can't read this fluence file !";
}

}  // namespace

SpectrumDisplayWindow::SpectrumDisplayWindow(SharedSpectrum& spectrum, const ViewerContext& context, QWidget* parent)
    : QWidget(parent), spectrum_(spectrum), messages_(context.messages) {
    setUpWindowFrame(*this, FRAME);
    buildControls();
    folders_->setPath(context.startFolder);
    drives_->setDrive(QStorageInfo(context.startFolder).rootPath());
    clearChart();
}

void SpectrumDisplayWindow::buildControls() {
    auto* heading = new QLabel(QStringLiteral("Orvalis"), this);
    heading->setFont(timesFont(MAIN_FONT_PT, true, true));
    heading->move(twipsToPixels(240), twipsToPixels(120));
    heading->adjustSize();

    drives_ = new DriveListBox(this);
    drives_->setObjectName(QStringLiteral("Drive1"));
    drives_->setAccessibleName(QStringLiteral("Drives"));
    drives_->setGeometry(twipsRect(840, 480, 3255, 315));
    folders_ = new FolderListBox(this);
    folders_->setObjectName(QStringLiteral("Dir1"));
    folders_->setAccessibleName(QStringLiteral("Folders"));
    folders_->setGeometry(twipsRect(240, 840, 3855, 1215));
    files_ = new FileListBox(this);
    files_->setObjectName(QStringLiteral("File1"));
    files_->setAccessibleName(QStringLiteral("Fluence files"));
    files_->setGeometry(twipsRect(240, 2040, 3855, 4575));
    files_->setPattern(QStringLiteral("*.spct"));
    files_->setPath(folders_->path());
    // A drive that is not ready is refused by the folder list, which then stays as it was.
    connect(drives_, &DriveListBox::driveChanged, folders_, [this](const QString& root) { folders_->setPath(root); });
    connect(folders_, &FolderListBox::pathChanged, files_, &FileListBox::setPath);
    connect(files_, &FileListBox::fileClicked, this, &SpectrumDisplayWindow::loadSelected);

    titleBox_ = new QLineEdit(this);
    titleBox_->setObjectName(QStringLiteral("Text1"));
    titleBox_->setAccessibleName(QStringLiteral("Title line of the loaded file"));
    titleBox_->setGeometry(twipsRect(240, 6720, 3855, 375));

    QPushButton* back = addButton(this, "Command5", QString(), {120, 7320, 495, 495}, MAIN_FONT_PT,
                                  QStringLiteral("Back"));
    back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    connect(back, &QPushButton::clicked, this, &QWidget::hide);
    QPushButton* ok = addButton(this, "Command1", QStringLiteral("OK"), {1080, 7320, 1335, 495}, MAIN_FONT_PT,
                                QStringLiteral("Plot the loaded spectrum"));
    connect(ok, &QPushButton::clicked, this, &SpectrumDisplayWindow::plotLoaded);
    QPushButton* clear = addButton(this, "Command2", QStringLiteral("Clear"), {2640, 7320, 1335, 495}, MAIN_FONT_PT,
                                   QStringLiteral("Clear the chart"));
    connect(clear, &QPushButton::clicked, this, &SpectrumDisplayWindow::clearChart);

    chart_ = new DrawingSurface(this);
    chart_->setObjectName(QStringLiteral("Picture1"));
    chart_->setAccessibleName(QStringLiteral("Spectrum chart"));
    chart_->setGeometry(twipsRect(4440, 240, 9495, 7575));
    chart_->setScale(-1.5, 105, 22, -115);
    chart_->setTextFont(timesFont(MAIN_FONT_PT));
}

void SpectrumDisplayWindow::clearChart() {
    titleBox_->clear();
    chart_->clear();
    chart_->setLineWidth(2);
    chart_->rectangle(0, 0, 20, 100);
    chart_->setLineWidth(1);
    for (int e = 1; e <= 19; ++e) chart_->line(e, 0, e, 100, GRID_GREY);
    for (int f = 10; f <= 90; f += 10) chart_->line(0, f, 20, f, GRID_GREY);
    chart_->rectangle(0, 0, 20, 100);
    const struct {
        const char* text;
        double x;
        double y;
    } labels[] = {{"0", -0.2, -1},    {"10", 9.5, -1}, {"20", 19.5, -1}, {"Electron energy [MeV]", 12, -3.5},
                  {"100", -1.4, 102}, {"50", -1, 52},  {"0", -0.7, 3}};
    for (const auto& label : labels) chart_->printTextAt(label.x, label.y, QString::fromLatin1(label.text));
}

void SpectrumDisplayWindow::loadSelected() {
    fluenceMax_ = 0.0;
    loadedPoints_ = 0;
    const QString path = FileListBox::joinPath(folders_->path(), files_->fileName());
    const std::optional<std::string> bytes = beamdata::text::readWholeFile(nativeBytes(path));
    const viewers::FluenceRead read = bytes ? viewers::readFluenceFile(*bytes) : viewers::FluenceRead{};
    if (!read.spectrum) {
        messages_.warn(fluenceMessage(read.error));
        return;
    }
    titleBox_->setText(QString::fromStdString(beamdata::text::decodeTitleBytes(read.spectrum->titleLine)));
    for (std::size_t i = 0; i < read.spectrum->points.size(); ++i) {
        spectrum_.loadedEnergyMeV(i + 1) = read.spectrum->points[i].energyMeV;
        spectrum_.loadedFluence(i + 1) = read.spectrum->points[i].fluence;
    }
    fluenceMax_ = read.spectrum->fluenceMax;
    loadedPoints_ = static_cast<int>(read.spectrum->points.size());
}

void SpectrumDisplayWindow::plotLoaded() {
    if (files_->fileName().isEmpty()) {
        messages_.warn("Select File");
        return;
    }
    if (loadedPoints_ == 0 || !(fluenceMax_ > 0.0)) {
        messages_.warn(" No spectrum is loaded from this file !");
        return;
    }
    // The points are taken from the shared spectrum, as loaded (or as the set-up window changed them since).
    std::vector<viewers::FluencePoint> points;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(loadedPoints_); ++i)
        points.push_back({spectrum_.loadedEnergyMeV(i), spectrum_.loadedFluence(i)});
    const std::vector<viewers::ChartPoint> chart = viewers::fluenceChartPoints(points, fluenceMax_);
    chart_->setLineWidth(2);
    chart_->point(chart.front().x, chart.front().y, CURVE_RED);
    for (std::size_t k = 1; k < chart.size(); ++k) chart_->lineTo(chart[k].x, chart[k].y, CURVE_RED);
}

}  // namespace orvalis
