#include "viewers/pdd_comparison_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "beamdata/free_format.h"
#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "viewers/measured_scan_import.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"
#include "widgets/form_controls.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

using viewers::RangeLevel;

const QColor LIGHT_GREY(192, 192, 192);
const QColor LEVEL_BLUE(0, 0, 255);
const QColor CURVE_RED(255, 0, 0);
constexpr double MAIN_FONT_PT = 14.25;
constexpr double FRAME_RIGHT = 10000.0;
constexpr double FRAME_TOP = 1000.0;
constexpr const char* CALCULATED_READ_ERROR = " I can't read this calculated data file !";
constexpr const char* MEASURED_READ_ERROR = " I can't read this measured data file !";

// Table fields of each level: measured, calculated, difference (rows R90, R80, R50, R10).
struct TableRow {
    RangeLevel level;
    int measured;
    int calculated;
    int difference;
    int topTwips;
    const char* levelText;
};
constexpr std::array<TableRow, 4> TABLE_ROWS = {{
    {RangeLevel::R90, 5, 7, 11, 6000, "90"},
    {RangeLevel::R80, 4, 8, 12, 6480, "80"},
    {RangeLevel::R50, 3, 9, 13, 6960, "50"},
    {RangeLevel::R10, 6, 10, 14, 7440, "10"},
}};

const TableRow& rowOf(RangeLevel level) {
    for (const TableRow& row : TABLE_ROWS)
        if (row.level == level) return row;
    return TABLE_ROWS.front();
}

}  // namespace

PddComparisonWindow::PddComparisonWindow(Module1& shared, MessageSink& messages, const QString& startFolder,
                                         QWidget* parent)
    : QWidget(parent), shared_(shared), messages_(messages) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Percentage Depth Dose Curve"));
    setFixedSize(twipsToPixels(15480), twipsToPixels(9225));
    buildControls();
    dir1_->setPath(startFolder);
    dir2_->setPath(startFolder);
    buildTable();
    buildPlot();
    measuredImport_ = new MeasuredScanImport(*this, messages_);
}

void PddComparisonWindow::buildControls() {
    const QFont main = timesFont(MAIN_FONT_PT);
    addLabel(this, QStringLiteral("Select PDD data"), 1920, 120, timesFont(15.75, false, true));
    addLabel(this, QStringLiteral("Measured PDD"), 600, 480, main);
    addLabel(this, QStringLiteral("Calculated PDD"), 3240, 480, main);

    const auto makeLists = [this](const char* dirName, const char* fileName, int left, const QString& pattern,
                                  const QString& what, FolderListBox*& dir, FileListBox*& file) {
        dir = new FolderListBox(this);
        dir->setObjectName(QString::fromLatin1(dirName));
        dir->setAccessibleName(what + QStringLiteral(" folders"));
        dir->setFont(gothicFont(9.75));
        dir->setGeometry(twipsRect(left, 840, 2535, 1140));
        file = new FileListBox(this);
        file->setObjectName(QString::fromLatin1(fileName));
        file->setAccessibleName(what + QStringLiteral(" files"));
        file->setFont(gothicFont(9.75));
        file->setGeometry(twipsRect(left, 1920, 2535, 3015));
        file->setPattern(pattern);
        file->setPath(dir->path());
        FileListBox* files = file;
        connect(dir, &FolderListBox::pathChanged, file, [files](const QString& folder) { files->setPath(folder); });
    };
    makeLists("Dir1", "File1", 120, QStringLiteral("*.csv;*.mcc;*.asc;*.txt;*.cdp"), QStringLiteral("Measured"), dir1_,
              file1_);
    makeLists("Dir2", "File2", 2880, QStringLiteral("*.PDD"), QStringLiteral("Calculated"), dir2_, file2_);

    QPushButton* measuredOk = addButton(this, "Command4", QStringLiteral("OK"), {1200, 4920, 1215, 495}, 12);
    measuredOk->setToolTip(QStringLiteral("Measured Data"));
    measuredOk->setAccessibleName(QStringLiteral("Load measured data"));
    connect(measuredOk, &QPushButton::clicked, this, &PddComparisonWindow::loadMeasured);
    QPushButton* calculatedOk = addButton(this, "Command2", QStringLiteral("OK"), {3000, 4920, 1215, 495}, 12);
    calculatedOk->setToolTip(QStringLiteral("calculated data"));
    calculatedOk->setAccessibleName(QStringLiteral("Load calculated data"));
    connect(calculatedOk, &QPushButton::clicked, this, &PddComparisonWindow::loadCalculated);
    QPushButton* refresh = addButton(this, "Command5", QStringLiteral("Refresh"), {4440, 4920, 975, 495}, 11.25);
    refresh->setToolTip(QStringLiteral(" Refresh file data "));
    refresh->setAccessibleName(QStringLiteral("Refresh calculated files"));
    refresh->setStyleSheet(QStringLiteral("background-color: rgb(192, 255, 255);"));
    connect(refresh, &QPushButton::clicked, file2_, &FileListBox::refresh);
    QPushButton* clear = addButton(this, "Command3", QStringLiteral("Graph clear"), {1920, 8400, 2175, 495},
                                   MAIN_FONT_PT);
    clear->setFont(timesFont(MAIN_FONT_PT, false, true));
    clear->setAccessibleName(QStringLiteral("Graph clear"));
    connect(clear, &QPushButton::clicked, this, &PddComparisonWindow::graphClear);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_FileDialogInfoView).pixmap(32, 32));
    icon->setGeometry(twipsRect(7680, 8520, 480, 480));
}

void PddComparisonWindow::buildTable() {
    const QFont main = timesFont(MAIN_FONT_PT);
    const auto makeField = [this, &main](int number, QRect twips, const QString& accessible) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("Text%1").arg(number));
        field->setAccessibleName(accessible);
        field->setFont(main);
        field->setAlignment(Qt::AlignCenter);
        field->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        text_[static_cast<std::size_t>(number)] = field;
    };
    addLabel(this, QStringLiteral("measured"), 1320, 5640, main);
    addLabel(this, QStringLiteral("calculated"), 2760, 5640, main);
    addLabel(this, QStringLiteral("difference"), 4200, 5640, main);
    for (const TableRow& row : TABLE_ROWS) {
        const QString level = QString::fromLatin1(row.levelText);
        addLabel(this, QStringLiteral("R    ="), 480, row.topTwips + 120, timesFont(MAIN_FONT_PT, false, true));
        addLabel(this, level, 720, row.topTwips + 240, timesFont(9));
        makeField(row.measured, {1320, row.topTwips, 1095, 495}, QStringLiteral("Measured R") + level);
        makeField(row.calculated, {2760, row.topTwips, 1095, 495}, QStringLiteral("Calculated R") + level);
        makeField(row.difference, {4200, row.topTwips, 1095, 495}, QStringLiteral("Difference R") + level);
    }
    for (const int left : {1920, 3360, 4800}) addLabel(this, QStringLiteral("mm"), left, 7920, main);

    addLabel(this, QStringLiteral("Depth ="), 8640, 8640, main);
    makeField(1, {9600, 8520, 1095, 495}, QStringLiteral("Depth under the cursor, mm"));
    addLabel(this, QStringLiteral("mm"), 10800, 8640, main);
    addLabel(this, QStringLiteral("PDD ="), 11760, 8640, main);
    makeField(2, {12600, 8520, 1095, 495}, QStringLiteral("Depth dose under the cursor, percent"));
    addLabel(this, QStringLiteral("%"), 13800, 8640, main);
}

void PddComparisonWindow::buildPlot() {
    plot_ = new DrawingSurface(this);
    plot_->setObjectName(QStringLiteral("Picture1"));
    plot_->setAccessibleName(QStringLiteral("Depth dose plot"));
    plot_->setGeometry(twipsRect(5760, 240, 9495, 8175));
    plot_->setScale(-500, 1020, 10600, -1150);
    plot_->setTextFont(timesFont(18));
    const char* names[] = {"Line1", "Line2", "Line3", "Line4"};
    for (std::size_t k = 0; k < markers_.size(); ++k) {
        const double top = viewers::RANGE_SEARCH_ORDER[k] == RangeLevel::R50 ? 1003.0 : FRAME_TOP;
        markers_[k] = plot_->addLine(QString::fromLatin1(names[k]), 0, top, 0, -20, LEVEL_BLUE, 1, false);
    }
    cursor_ = plot_->addLine(QStringLiteral("Line5"), 0, 0, 0, FRAME_TOP, CURVE_RED, 1, false);
    connect(plot_, &DrawingSurface::mouseMoved, this, [this](double x, double) { showReadout(x); });
}

void PddComparisonWindow::resetPlot(const std::array<viewers::PlotLabel, 12>& labels) {
    plot_->clear();
    plot_->setLineWidth(1);
    for (int x = 500; x <= 9500; x += 500) plot_->line(x, 0, x, FRAME_TOP, LIGHT_GREY);
    for (int y = 100; y <= 900; y += 100) plot_->line(0, y, FRAME_RIGHT, y, LIGHT_GREY);
    for (const int y : {500, 900, 800, 100}) plot_->line(0, y, FRAME_RIGHT, y, LEVEL_BLUE);
    plot_->setLineWidth(2);
    plot_->rectangle(0, 0, FRAME_RIGHT, FRAME_TOP);
    for (const viewers::PlotLabel& label : labels)
        plot_->printTextAt(label.x, label.y, QString::fromLatin1(label.text));
    for (SurfaceLine* marker : markers_) marker->hide();
    cursor_->hide();
    for (int k = 1; k <= 14; ++k) text_[static_cast<std::size_t>(k)]->clear();
    shared_.CalcCurveShown = false;
}

void PddComparisonWindow::graphClear() {
    file2_->refresh();
    resetPlot(viewers::WINDOW_PLOT_LABELS);
}

void PddComparisonWindow::resetFromMainMenu() {
    file1_->refresh();
    file2_->refresh();
    resetPlot(viewers::MAIN_MENU_PLOT_LABELS);
    file1_->setPath(dir1_->path());
    file2_->setPath(dir2_->path());
}

QString PddComparisonWindow::selectedPath(const FolderListBox* folders, const FileListBox* files) const {
    return FileListBox::joinPath(folders->path(), files->fileName());
}

void PddComparisonWindow::drawCurve(const std::vector<viewers::PlotPoint>& points, const QColor& firstPoint,
                                    const QColor& rest) {
    plot_->setLineWidth(2);
    if (!points.empty()) plot_->point(points.front().x, points.front().y, firstPoint);
    for (std::size_t k = 1; k < points.size(); ++k) plot_->lineTo(points[k].x, points[k].y, rest);
    plot_->rectangle(0, 0, FRAME_RIGHT, FRAME_TOP);
}

void PddComparisonWindow::showRanges(const viewers::PddLoad& load, bool measured) {
    for (const viewers::RangeResult& range : load.ranges) {
        SurfaceLine* marker = markers_[viewers::searchPosition(range.level)];
        marker->setX(viewers::PLOT_UNITS_PER_MM * range.rangeMm);
        marker->show();
        const TableRow& row = rowOf(range.level);
        text_[static_cast<std::size_t>(measured ? row.measured : row.calculated)]->setText(
            QString::fromStdString(viewers::rangeText(range.rangeMm)));
    }
}

void PddComparisonWindow::fillDifferences() {
    for (const TableRow& row : TABLE_ROWS) {
        const std::string measured = text_[static_cast<std::size_t>(row.measured)]->text().toStdString();
        const std::string calculated = text_[static_cast<std::size_t>(row.calculated)]->text().toStdString();
        text_[static_cast<std::size_t>(row.difference)]->setText(
            QString::fromStdString(viewers::differenceText(measured, calculated)));
    }
}

void PddComparisonWindow::loadCalculated() {
    if (file2_->fileName().isEmpty()) {
        messages_.warn("Select File");
        return;
    }
    const std::optional<std::string> bytes = beamdata::text::readWholeFile(selectedPath(dir2_, file2_).toStdString());
    if (!bytes) {
        messages_.warn(CALCULATED_READ_ERROR);
        return;
    }
    const viewers::PddLoad load = viewers::loadCalculatedPdd(*bytes, shared_.PddDose);
    if (load.maxDose) pddMax_ = *load.maxDose;
    if (load.curveDrawn) drawCurve(viewers::calculatedCurvePoints(shared_.PddDose, pddMax_), CURVE_RED, CURVE_RED);
    showRanges(load, false);
    if (!load.ok) {
        messages_.warn(CALCULATED_READ_ERROR);
        return;
    }
    if (!text_[5]->text().isEmpty() && !text_[4]->text().isEmpty() && !text_[3]->text().isEmpty() &&
        !text_[6]->text().isEmpty())
        fillDifferences();
    shared_.CalcCurveShown = true;
    emit calculatedLoaded(selectedPath(dir2_, file2_));
}

void PddComparisonWindow::loadMeasured() {
    // A water-tank export is read whole before anything changes, so a bad one keeps the last curve.
    if (!file1_->fileName().isEmpty() && measuredImport_->loadIfWaterTank(selectedPath(dir1_, file1_))) return;
    shared_.PddDepth.fill(0.0);  // emptied before the selection is checked, index 0 included (never used)
    shared_.PddDose.fill(0.0);
    if (file1_->fileName().isEmpty()) {
        messages_.warn("Select File");
        return;
    }
    const std::optional<std::string> bytes = beamdata::text::readWholeFile(selectedPath(dir1_, file1_).toStdString());
    if (!bytes) {
        messages_.warn(MEASURED_READ_ERROR);
        return;
    }
    finishMeasuredLoad(viewers::loadMeasuredPdd(*bytes, shared_.PddDepth, shared_.PddDose),
                       selectedPath(dir1_, file1_));
}

void PddComparisonWindow::loadMeasuredCurve(const QString& path, std::span<const double> depthMm,
                                            std::span<const double> value) {
    shared_.PddDepth.fill(0.0);
    shared_.PddDose.fill(0.0);
    finishMeasuredLoad(viewers::loadMeasuredPoints(depthMm, value, shared_.PddDepth, shared_.PddDose), path);
}

void PddComparisonWindow::finishMeasuredLoad(const viewers::PddLoad& load, const QString& path) {
    if (load.maxDose) pddMax_ = *load.maxDose;
    if (load.curveDrawn)
        drawCurve(viewers::measuredCurvePoints(shared_.PddDepth, shared_.PddDose, pddMax_, load.recordCount), CURVE_RED,
                  LEVEL_BLUE);
    showRanges(load, true);
    if (!load.ok) {
        messages_.warn(MEASURED_READ_ERROR);
        return;
    }
    if (!text_[7]->text().isEmpty() && !text_[8]->text().isEmpty() && !text_[9]->text().isEmpty() &&
        !text_[10]->text().isEmpty())
        fillDifferences();
    shared_.CalcCurveShown = false;
    emit measuredLoaded(path);
}

void PddComparisonWindow::showReadout(double x) {
    if (!shared_.CalcCurveShown) return;
    const std::optional<int> depthMm = viewers::readoutDepthMm(x);
    if (!depthMm) {
        cursor_->hide();
        text_[1]->clear();
        text_[2]->clear();
        return;
    }
    cursor_->setX(viewers::PLOT_UNITS_PER_MM * *depthMm);
    cursor_->show();
    text_[1]->setText(QString::number(*depthMm));
    const auto shownDepth = static_cast<int>(beamdata::textValue(text_[1]->text().toStdString()));
    const std::optional<double> percent = viewers::readoutPercent(shared_.PddDose, pddMax_, shownDepth);
    text_[2]->setText(percent ? QString::fromStdString(beamdata::formatNumber(*percent, "##0.00")) : QString());
}

}  // namespace orvalis
