#include "setup/spectrum_display_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

#include "beamdata/free_format.h"
#include "beamdata/title_decoding.h"
#include "setup/fluence_file.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"
#include "widgets/form_controls.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

const QColor GRID_GREY(128, 128, 128);
const QColor CURVE_RED(255, 0, 0);
constexpr double MAIN_FONT_PT = 12.0;

const char* fluenceMessage(setup::FluenceError error) {
    switch (error) {
    case setup::FluenceError::TooManyPoints: return " This fluence file has more than 100 points !";
    case setup::FluenceError::AllZero: return " All fluences of this file are 0 !";
    case setup::FluenceError::Unreadable: break;
    }
    return " I can't read this fluence file !";
}

}  // namespace

SpectrumDisplayWindow::SpectrumDisplayWindow(Module1& shared, MessageSink& messages, const QString& startFolder,
                                             QWidget* parent)
    : QWidget(parent), shared_(shared), messages_(messages) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Orvalis - Spectrum Display"));
    setFixedSize(twipsToPixels(14160), twipsToPixels(8040));
    buildControls();
    dir1_->setPath(startFolder);
    drive1_->setDrive(QStorageInfo(startFolder).rootPath());
    clearChart();
}

void SpectrumDisplayWindow::buildControls() {
    auto* heading = new QLabel(QStringLiteral("Orvalis"), this);
    heading->setFont(timesFont(MAIN_FONT_PT, true, true));
    heading->move(twipsToPixels(240), twipsToPixels(120));
    heading->adjustSize();

    drive1_ = new DriveListBox(this);
    drive1_->setObjectName(QStringLiteral("Drive1"));
    drive1_->setAccessibleName(QStringLiteral("Drives"));
    drive1_->setGeometry(twipsRect(840, 480, 3255, 315));
    dir1_ = new FolderListBox(this);
    dir1_->setObjectName(QStringLiteral("Dir1"));
    dir1_->setAccessibleName(QStringLiteral("Folders"));
    dir1_->setGeometry(twipsRect(240, 840, 3855, 1215));
    file1_ = new FileListBox(this);
    file1_->setObjectName(QStringLiteral("File1"));
    file1_->setAccessibleName(QStringLiteral("Fluence files"));
    file1_->setGeometry(twipsRect(240, 2040, 3855, 4575));
    file1_->setPattern(QStringLiteral("*.spct"));
    file1_->setPath(dir1_->path());
    // A drive that is not ready is refused by the folder list, which then stays as it was.
    connect(drive1_, &DriveListBox::driveChanged, dir1_, [this](const QString& root) { dir1_->setPath(root); });
    connect(dir1_, &FolderListBox::pathChanged, file1_, &FileListBox::setPath);
    connect(file1_, &FileListBox::fileClicked, this, &SpectrumDisplayWindow::loadSelected);

    text1_ = new QLineEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setAccessibleName(QStringLiteral("Title line of the loaded file"));
    text1_->setGeometry(twipsRect(240, 6720, 3855, 375));

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
    text1_->clear();
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
    const QString path = FileListBox::joinPath(dir1_->path(), file1_->fileName());
    const std::optional<std::string> bytes = beamdata::text::readWholeFile(path.toStdString());
    const setup::FluenceRead read = bytes ? setup::readFluenceFile(*bytes) : setup::FluenceRead{};
    if (!read.spectrum) {
        messages_.warn(fluenceMessage(read.error));
        return;
    }
    text1_->setText(QString::fromStdString(beamdata::text::decodeTitleBytes(read.spectrum->titleLine)));
    for (std::size_t i = 0; i < read.spectrum->points.size(); ++i) {
        shared_.SpecDensity[i + 1] = read.spectrum->points[i].energyMeV;
        shared_.SpecRelative[i + 1] = read.spectrum->points[i].fluence;
    }
    fluenceMax_ = read.spectrum->fluenceMax;
    loadedPoints_ = static_cast<int>(read.spectrum->points.size());
}

void SpectrumDisplayWindow::plotLoaded() {
    if (file1_->fileName().isEmpty()) {
        messages_.warn("Select File");
        return;
    }
    if (loadedPoints_ == 0 || !(fluenceMax_ > 0.0)) {
        messages_.warn(" No spectrum is loaded from this file !");
        return;
    }
    // The points are taken from the shared arrays, as loaded (or as the set-up window changed them since).
    std::vector<setup::FluencePoint> points;
    for (int i = 1; i <= loadedPoints_; ++i)
        points.push_back(
            {shared_.SpecDensity[static_cast<std::size_t>(i)], shared_.SpecRelative[static_cast<std::size_t>(i)]});
    const std::vector<setup::ChartPoint> chart = setup::fluenceChartPoints(points, fluenceMax_);
    chart_->setLineWidth(2);
    chart_->point(chart.front().x, chart.front().y, CURVE_RED);
    for (std::size_t k = 1; k < chart.size(); ++k) chart_->lineTo(chart[k].x, chart[k].y, CURVE_RED);
}

}  // namespace orvalis
