#include "viewers/comparison_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <cmath>

#include "beamdata/free_format.h"
#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "viewers/dashed_line.h"
#include "viewers/plot_legend.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"
#include "widgets/form_controls.h"
#include "widgets/native_path.h"
#include "widgets/palette.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

using viewers::RangeLevel;

constexpr WindowFrame FRAME{"Form2", "Percentage Depth Dose Curve", "Depth-dose comparison", 15480, 9225};
constexpr double MAIN_FONT_PT = 14.25;
constexpr double FRAME_RIGHT = 10000.0;
constexpr double FRAME_TOP = 1000.0;
constexpr const char* CALCULATED_READ_ERROR = " I can't read this calculated data file !";
constexpr const char* MEASURED_READ_ERROR = " I can't read this measured data file !";
// Broken lines, in pixels along the curve: drawn, then left out.
constexpr double DASH_ON_PX = 8.0;
constexpr double DASH_OFF_PX = 5.0;
constexpr double DOT_ON_PX = 2.0;
constexpr double DOT_OFF_PX = 4.0;
constexpr int LEGEND_INSET_PX = 4;  // between the frame's top right corner and the legend

// The table's rows R90, R80, R50, R10: the form's names of their measured, calculated and
// difference fields, and the row's position.
struct TableRow {
    RangeLevel level;
    const char* measuredName;
    const char* calculatedName;
    const char* differenceName;
    int topTwips;
    const char* levelText;
};
constexpr std::array<TableRow, 4> TABLE_ROWS = {{
    {RangeLevel::R90, "Text5", "Text7", "Text11", 6000, "90"},
    {RangeLevel::R80, "Text4", "Text8", "Text12", 6480, "80"},
    {RangeLevel::R50, "Text3", "Text9", "Text13", 6960, "50"},
    {RangeLevel::R10, "Text6", "Text10", "Text14", 7440, "10"},
}};

}  // namespace

ComparisonWindow::ComparisonWindow(const ViewerContext& context, QWidget* parent)
    : QWidget(parent), messages_(context.messages) {
    setUpWindowFrame(*this, FRAME);
    buildControls();
    measuredFolders_->setPath(context.startFolder);
    calculatedFolders_->setPath(context.startFolder);
    buildTable();
    buildPlot();
}

void ComparisonWindow::buildControls() {
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
    makeLists("Dir1", "File1", 120, QStringLiteral("*.csv;*.mcc;*.asc;*.txt;*.cdp"), QStringLiteral("Measured"),
              measuredFolders_, measuredFiles_);
    makeLists("Dir2", "File2", 2880, QStringLiteral("*.PDD"), QStringLiteral("Calculated"), calculatedFolders_,
              calculatedFiles_);

    QPushButton* measuredOk = addButton(this, "Command4", QStringLiteral("OK"), {1200, 4920, 1215, 495}, 12);
    measuredOk->setToolTip(QStringLiteral("Measured Data"));
    measuredOk->setAccessibleName(QStringLiteral("Load measured data"));
    connect(measuredOk, &QPushButton::clicked, this, &ComparisonWindow::loadMeasured);
    QPushButton* calculatedOk = addButton(this, "Command2", QStringLiteral("OK"), {3000, 4920, 1215, 495}, 12);
    calculatedOk->setToolTip(QStringLiteral("calculated data"));
    calculatedOk->setAccessibleName(QStringLiteral("Load calculated data"));
    connect(calculatedOk, &QPushButton::clicked, this, &ComparisonWindow::loadCalculated);
    QPushButton* refresh = addButton(this, "Command5", QStringLiteral("Refresh"), {4440, 4920, 975, 495}, 11.25);
    refresh->setToolTip(QStringLiteral(" Refresh file data "));
    refresh->setAccessibleName(QStringLiteral("Refresh calculated files"));
    refresh->setStyleSheet(QStringLiteral("background-color: rgb(192, 255, 255);"));
    connect(refresh, &QPushButton::clicked, calculatedFiles_, &FileListBox::refresh);
    QPushButton* clear = addButton(this, "Command3", QStringLiteral("Graph clear"), {1920, 8400, 2175, 495},
                                   MAIN_FONT_PT);
    clear->setFont(timesFont(MAIN_FONT_PT, false, true));
    clear->setAccessibleName(QStringLiteral("Graph clear"));
    connect(clear, &QPushButton::clicked, this, &ComparisonWindow::graphClear);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_FileDialogInfoView).pixmap(32, 32));
    icon->setGeometry(twipsRect(7680, 8520, 480, 480));
}

void ComparisonWindow::buildTable() {
    const QFont main = timesFont(MAIN_FONT_PT);
    const auto makeField = [this, &main](const char* name, QRect twips, const QString& accessible) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(name));
        field->setAccessibleName(accessible);
        field->setFont(main);
        field->setAlignment(Qt::AlignCenter);
        field->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        return field;
    };
    addLabel(this, QStringLiteral("measured"), 1320, 5640, main);
    addLabel(this, QStringLiteral("calculated"), 2760, 5640, main);
    addLabel(this, QStringLiteral("difference"), 4200, 5640, main);
    for (std::size_t k = 0; k < TABLE_ROWS.size(); ++k) {
        const TableRow& row = TABLE_ROWS[k];
        const QString level = QString::fromLatin1(row.levelText);
        addLabel(this, QStringLiteral("R    ="), 480, row.topTwips + 120, timesFont(MAIN_FONT_PT, false, true));
        addLabel(this, level, 720, row.topTwips + 240, timesFont(9));
        LevelFields& fields = levelFields_[k];
        fields.measured = makeField(row.measuredName, {1320, row.topTwips, 1095, 495},
                                    QStringLiteral("Measured R") + level);
        fields.calculated = makeField(row.calculatedName, {2760, row.topTwips, 1095, 495},
                                      QStringLiteral("Calculated R") + level);
        fields.difference = makeField(row.differenceName, {4200, row.topTwips, 1095, 495},
                                      QStringLiteral("Difference R") + level);
        // In the gap between the calculated and the difference field, small.
        fields.uncertainty = addLabel(this, QString(), 3870, row.topTwips + 150, timesFont(6.75));
        fields.uncertainty->setAccessibleName(QStringLiteral("Standard uncertainty of calculated R") + level);
        fields.uncertainty->hide();
    }
    for (const int left : {1920, 3360, 4800}) addLabel(this, QStringLiteral("mm"), left, 7920, main);

    addLabel(this, QStringLiteral("Depth ="), 8640, 8640, main);
    cursorDepthBox_ = makeField("Text1", {9600, 8520, 1095, 495}, QStringLiteral("Depth under the cursor, mm"));
    addLabel(this, QStringLiteral("mm"), 10800, 8640, main);
    addLabel(this, QStringLiteral("PDD ="), 11760, 8640, main);
    cursorDoseBox_ = makeField("Text2", {12600, 8520, 1095, 495},
                               QStringLiteral("Depth dose under the cursor, percent"));
    addLabel(this, QStringLiteral("%"), 13800, 8640, main);
}

void ComparisonWindow::buildPlot() {
    plot_ = new DrawingSurface(this);
    plot_->setObjectName(QStringLiteral("Picture1"));
    plot_->setAccessibleName(QStringLiteral("Depth dose plot"));
    plot_->setGeometry(twipsRect(5760, 240, 9495, 8175));
    plot_->setScale(-500, 1020, 10600, -1150);
    plot_->setTextFont(timesFont(18));
    const char* names[] = {"Line1", "Line2", "Line3", "Line4"};
    for (std::size_t k = 0; k < levelMarkers_.size(); ++k) {
        const double top = viewers::RANGE_SEARCH_ORDER[k] == RangeLevel::R50 ? 1003.0 : FRAME_TOP;
        levelMarkers_[k] = plot_->addLine(QString::fromLatin1(names[k]), 0, top, 0, -20, LEVEL_BLUE, 1, false);
    }
    cursorLine_ = plot_->addLine(QStringLiteral("Line5"), 0, 0, 0, FRAME_TOP, CURVE_RED, 1, false);
    connect(plot_, &DrawingSurface::mouseMoved, this, [this](double x, double) { showReadout(x); });
    legend_ = new PlotLegend(plot_);
}

void ComparisonWindow::resetPlot(const std::array<viewers::PlotLabel, 12>& labels) {
    plot_->clear();
    plot_->setLineWidth(1);
    for (int x = 500; x <= 9500; x += 500) plot_->line(x, 0, x, FRAME_TOP, LIGHT_GREY);
    for (int y = 100; y <= 900; y += 100) plot_->line(0, y, FRAME_RIGHT, y, LIGHT_GREY);
    for (const int y : {500, 900, 800, 100}) plot_->line(0, y, FRAME_RIGHT, y, LEVEL_BLUE);
    plot_->setLineWidth(2);
    plot_->rectangle(0, 0, FRAME_RIGHT, FRAME_TOP);
    for (const viewers::PlotLabel& label : labels)
        plot_->printTextAt(label.x, label.y, QString::fromLatin1(label.text));
    for (SurfaceLine* marker : levelMarkers_) marker->hide();
    curves_.clear();
    showLegend();
    cursorLine_->hide();
    cursorDepthBox_->clear();
    cursorDoseBox_->clear();
    for (const LevelFields& fields : levelFields_)
        for (QLineEdit* field : {fields.measured, fields.calculated, fields.difference}) field->clear();
    calculatedSigma_.reset();
    showUncertainties();
    tables_.calculatedCurveShown = false;
}

void ComparisonWindow::graphClear() {
    calculatedFiles_->refresh();
    resetPlot(viewers::WINDOW_PLOT_LABELS);
}

void ComparisonWindow::resetFromMainMenu() {
    measuredFiles_->refresh();
    calculatedFiles_->refresh();
    resetPlot(viewers::MAIN_MENU_PLOT_LABELS);
    measuredFiles_->setPath(measuredFolders_->path());
    calculatedFiles_->setPath(calculatedFolders_->path());
}

QString ComparisonWindow::selectedPath(const FolderListBox* folders, const FileListBox* files) const {
    return FileListBox::joinPath(folders->path(), files->fileName());
}

void ComparisonWindow::drawCurve(const std::vector<viewers::PlotPoint>& points, viewers::CurveKind kind,
                                 const QString& curveName) {
    const viewers::CurveStyle style = curves_.add(kind, curveName.toStdString());
    const QColor colour = PlotLegend::colorOf(style);
    plot_->setLineWidth(2);
    // A measured curve starts with a red point, as the system always drew it.
    if (!points.empty() && kind != viewers::CurveKind::Fitted)
        plot_->point(points.front().x, points.front().y, kind == viewers::CurveKind::Measured ? CURVE_RED : colour);
    if (style.pattern == viewers::LinePattern::Solid) {
        for (std::size_t k = 1; k < points.size(); ++k) plot_->lineTo(points[k].x, points[k].y, colour);
    } else {
        const UserScale& scale = plot_->scale();
        // The visible area of the plot, in its units: only there are the dashes counted.
        const ClipRect visible{
            std::min(scale.left(), scale.left() + scale.width()), std::min(scale.top(), scale.top() + scale.height()),
            std::max(scale.left(), scale.left() + scale.width()), std::max(scale.top(), scale.top() + scale.height())};
        const bool dashed = style.pattern == viewers::LinePattern::Dashed;
        for (const viewers::PlotSegment& dash : viewers::dashedSegments(
                 points, 1.0 / std::abs(scale.pixelsPerUnitX()), 1.0 / std::abs(scale.pixelsPerUnitY()),
                 dashed ? DASH_ON_PX : DOT_ON_PX, dashed ? DASH_OFF_PX : DOT_OFF_PX, visible))
            plot_->line(dash.from.x, dash.from.y, dash.to.x, dash.to.y, colour);
    }
    plot_->rectangle(0, 0, FRAME_RIGHT, FRAME_TOP);
    showLegend();
}

void ComparisonWindow::drawFittedCurve(const std::vector<viewers::PlotPoint>& points, const QString& curveName) {
    drawCurve(points, viewers::CurveKind::Fitted, curveName);
}

void ComparisonWindow::showLegend() {
    const UserScale& scale = plot_->scale();
    const QPoint frameCorner = plot_->innerRect().topLeft() +
                               QPoint(scale.toPixelX(FRAME_RIGHT), scale.toPixelY(FRAME_TOP));
    legend_->showEntries(curves_.entries(), frameCorner + QPoint(-LEGEND_INSET_PX, LEGEND_INSET_PX));
    plot_->setAccessibleDescription(legend_->description());
}

ComparisonWindow::LevelFields& ComparisonWindow::fieldsOf(RangeLevel level) {
    for (std::size_t k = 0; k < TABLE_ROWS.size(); ++k)
        if (TABLE_ROWS[k].level == level) return levelFields_[k];
    return levelFields_.front();
}

bool ComparisonWindow::columnFilled(QLineEdit* LevelFields::*column) const {
    return std::all_of(levelFields_.begin(), levelFields_.end(),
                       [column](const LevelFields& fields) { return !(fields.*column)->text().isEmpty(); });
}

void ComparisonWindow::showRanges(const viewers::PddLoad& load, bool measured) {
    for (const viewers::RangeResult& range : load.ranges) {
        SurfaceLine* marker = levelMarkers_[viewers::searchPosition(range.level)];
        marker->setX(viewers::PLOT_UNITS_PER_MM * range.rangeMm);
        marker->show();
        LevelFields& fields = fieldsOf(range.level);
        (measured ? fields.measured : fields.calculated)
            ->setText(QString::fromStdString(viewers::rangeText(range.rangeMm)));
    }
}

void ComparisonWindow::fillDifferences() {
    // From the texts as shown (rounded, or as the user typed them), not from the unrounded depths.
    for (const LevelFields& fields : levelFields_)
        fields.difference->setText(QString::fromStdString(
            viewers::differenceText(fields.measured->text().toStdString(), fields.calculated->text().toStdString())));
    showUncertainties();
}

void ComparisonWindow::showUncertainties() {
    for (std::size_t k = 0; k < TABLE_ROWS.size(); ++k) {
        const LevelFields& fields = levelFields_[k];
        std::optional<double> sigma;
        if (calculatedSigma_) sigma = (*calculatedSigma_)[beamdata::levelIndex(TABLE_ROWS[k].level)];
        fields.uncertainty->setText(sigma ? QString::fromStdString(viewers::uncertaintyText(*sigma)) : QString());
        fields.uncertainty->adjustSize();
        fields.uncertainty->setVisible(sigma.has_value());
        const bool marked = !fields.difference->text().isEmpty() &&
                            viewers::differenceExceedsUncertainty(fields.measured->text().toStdString(),
                                                                  fields.calculated->text().toStdString(), sigma);
        fields.difference->setProperty("exceedsUncertainty", marked);
        fields.difference->setStyleSheet(marked ? QStringLiteral("color: rgb(255, 0, 0); font-weight: bold;")
                                                : QString());
        fields.difference->setToolTip(
            marked ? QStringLiteral("More than twice the combined standard uncertainty (2 \u00d7 %1 mm)")
                         .arg(QString::fromStdString(viewers::uncertaintyText(*sigma)))
                   : QString());
    }
}

const QLabel* ComparisonWindow::uncertaintyLabel(RangeLevel level) const {
    for (std::size_t k = 0; k < TABLE_ROWS.size(); ++k)
        if (TABLE_ROWS[k].level == level) return levelFields_[k].uncertainty;
    return nullptr;
}

const QLineEdit* ComparisonWindow::differenceField(RangeLevel level) const {
    for (std::size_t k = 0; k < TABLE_ROWS.size(); ++k)
        if (TABLE_ROWS[k].level == level) return levelFields_[k].difference;
    return nullptr;
}

bool ComparisonWindow::finishLoad(const viewers::PddLoad& load, bool measured, const QString& curveName) {
    if (load.maxDose) pddMax_ = *load.maxDose;
    if (load.curveDrawn && measured)
        drawCurve(viewers::measuredCurvePoints(tables_.depthMm, tables_.dose, pddMax_, load.recordCount),
                  viewers::CurveKind::Measured, curveName);
    else if (load.curveDrawn)
        drawCurve(viewers::calculatedCurvePoints(tables_.dose, pddMax_), viewers::CurveKind::Calculated, curveName);
    showRanges(load, measured);
    if (!load.ok) {
        messages_.warn(measured ? MEASURED_READ_ERROR : CALCULATED_READ_ERROR);
        return false;
    }
    // The differences appear once the other column is filled too.
    if (columnFilled(measured ? &LevelFields::calculated : &LevelFields::measured)) fillDifferences();
    tables_.calculatedCurveShown = !measured;
    return true;
}

std::optional<std::string> ComparisonWindow::readSelected(const FolderListBox* folders, const FileListBox* files,
                                                          const char* readError, QString& path) {
    path = selectedPath(folders, files);
    std::optional<std::string> bytes = beamdata::text::readWholeFile(nativeBytes(path));
    if (!bytes) messages_.warn(readError);
    return bytes;
}

void ComparisonWindow::loadCalculated() {
    if (calculatedFiles_->fileName().isEmpty()) {
        messages_.warn("Select File");
        return;
    }
    QString path;
    const auto bytes = readSelected(calculatedFolders_, calculatedFiles_, CALCULATED_READ_ERROR, path);
    if (!bytes) return;
    // The uncertainties belong to the calculated column: read before the load fills the differences.
    calculatedSigma_ = viewers::calculatedRangeUncertainties(nativePath(path));
    if (finishLoad(viewers::loadCalculatedPdd(*bytes, tables_.dose), false, calculatedFiles_->fileName())) {
        showUncertainties();
        emit calculatedLoaded(path);
    } else {
        calculatedSigma_.reset();
        showUncertainties();
    }
}

void ComparisonWindow::loadMeasured() {
    // A water-tank export is read whole before anything changes, so a bad one keeps the last curve.
    if (!measuredFiles_->fileName().isEmpty() && measuredImport_ &&
        measuredImport_->loadIfWaterTank(selectedPath(measuredFolders_, measuredFiles_)))
        return;
    tables_.depthMm.fill(0.0);  // emptied before the selection is checked, index 0 included (never used)
    tables_.dose.fill(0.0);
    if (measuredFiles_->fileName().isEmpty()) {
        messages_.warn("Select File");
        return;
    }
    QString path;
    const auto bytes = readSelected(measuredFolders_, measuredFiles_, MEASURED_READ_ERROR, path);
    if (bytes)
        finishMeasuredLoad(viewers::loadMeasuredPdd(*bytes, tables_.depthMm, tables_.dose), path,
                           measuredFiles_->fileName());
}

void ComparisonWindow::loadMeasuredCurve(const QString& path, const QString& curveName, std::span<const double> depthMm,
                                         std::span<const double> value) {
    tables_.depthMm.fill(0.0);
    tables_.dose.fill(0.0);
    finishMeasuredLoad(viewers::loadMeasuredPoints(depthMm, value, tables_.depthMm, tables_.dose), path, curveName);
}

void ComparisonWindow::finishMeasuredLoad(const viewers::PddLoad& load, const QString& path, const QString& curveName) {
    if (finishLoad(load, true, curveName)) emit measuredLoaded(path);
}

void ComparisonWindow::showReadout(double x) {
    if (!tables_.calculatedCurveShown) return;
    const std::optional<int> depthMm = viewers::readoutDepthMm(x);
    if (!depthMm) {
        cursorLine_->hide();
        cursorDepthBox_->clear();
        cursorDoseBox_->clear();
        return;
    }
    cursorLine_->setX(viewers::PLOT_UNITS_PER_MM * *depthMm);
    cursorLine_->show();
    cursorDepthBox_->setText(QString::number(*depthMm));
    // The dose of the depth as its box shows it.
    const auto shownDepth = static_cast<int>(beamdata::textValue(cursorDepthBox_->text().toStdString()));
    const std::optional<double> percent = viewers::readoutPercent(tables_.dose, pddMax_, shownDepth);
    cursorDoseBox_->setText(percent ? QString::fromStdString(beamdata::formatNumber(*percent, "##0.00")) : QString());
}

}  // namespace orvalis
