#pragma once
// "Percentage Depth Dose Curve": a measured and a calculated depth dose side by side, their R90,
// R80, R50 and R10 with differences, and the cursor read-out of the calculated curve.
#include <QWidget>
#include <array>
#include <optional>
#include <span>
#include <string>

#include "viewers/curve_legend.h"
#include "viewers/measured_file_import.h"
#include "viewers/pdd_comparison.h"
#include "viewers/viewer_context.h"

class QLabel;
class QLineEdit;

namespace orvalis {

class DrawingSurface;
class SurfaceLine;
class FolderListBox;
class FileListBox;
class PlotLegend;

class ComparisonWindow : public QWidget {
    Q_OBJECT
public:
    explicit ComparisonWindow(const ViewerContext& context, QWidget* parent = nullptr);

    // The main menu's reset before it shows the window: both file lists refreshed, the empty plot
    // with the menu's label positions, markers and cursor hidden, the fields emptied, each file
    // list set to its folder list's folder, no calculated curve shown. The tables stay.
    void resetFromMainMenu();
    // "Graph clear": the calculated list refreshed, then the empty plot and emptied fields.
    void graphClear();

    // A measured curve from a water-tank file (at most 150 points), loaded like a measured file;
    // `curveName` names it in the plot's legend.
    void loadMeasuredCurve(const QString& path, const QString& curveName, std::span<const double> depthMm,
                           std::span<const double> value);
    // A fitted curve (plot points), drawn as a broken line in a shade of the fit's green and named
    // `curveName` in the legend.
    void drawFittedCurve(const std::vector<viewers::PlotPoint>& points, const QString& curveName);
    // The reader of water-tank files, asked first by the measured "OK"; not owned, and kept for the
    // window's lifetime. Null (the default): every measured file is loaded as CSV.
    void setMeasuredImport(MeasuredFileImport* import) { measuredImport_ = import; }
    MeasuredFileImport* measuredImport() const { return measuredImport_; }

    // Beside each calculated field, the standard uncertainty of the calculated range ("± 0.21") when
    // the calculated file has its uncertainty file beside it; hidden otherwise.
    const QLabel* uncertaintyLabel(viewers::RangeLevel level) const;
    // A difference larger than twice the combined uncertainty is marked: red bold text, a tool tip
    // that says so, and the property "exceedsUncertainty" set.
    const QLineEdit* differenceField(viewers::RangeLevel level) const;
    // The calculated ranges' standard uncertainties (mm), in the order of beamdata::RANGE_LEVELS.
    const std::optional<beamdata::RangeLevels>& calculatedUncertainties() const { return calculatedSigma_; }

    const viewers::DepthDoseTables& tables() const { return tables_; }
    double pddMax() const { return pddMax_; }
    DrawingSurface* plot() const { return plot_; }
    PlotLegend* legend() const { return legend_; }

signals:
    // A measured file was loaded without error (the path as selected).
    void measuredLoaded(const QString& path);
    // A calculated file was loaded without error.
    void calculatedLoaded(const QString& path);

private:
    // The three fields of one level in the table.
    struct LevelFields {
        QLineEdit* measured = nullptr;
        QLineEdit* calculated = nullptr;
        QLineEdit* difference = nullptr;
        QLabel* uncertainty = nullptr;  // beside the calculated field
    };

    void buildControls();
    void buildTable();
    void buildPlot();
    void loadMeasured();
    void loadCalculated();
    void finishMeasuredLoad(const viewers::PddLoad& load, const QString& path, const QString& curveName);
    // Shows what a load did, as far as it went (the maximum, the curve named `curveName`, the
    // markers and the load's column); then, when it succeeded, the differences and the read-out's
    // state. False on failure, which has been reported.
    bool finishLoad(const viewers::PddLoad& load, bool measured, const QString& curveName);
    void showRanges(const viewers::PddLoad& load, bool measured);
    void showReadout(double x);
    void resetPlot(const std::array<viewers::PlotLabel, 12>& labels);
    // Draws the next curve of `kind` in its own style and names it in the legend.
    void drawCurve(const std::vector<viewers::PlotPoint>& points, viewers::CurveKind kind, const QString& curveName);
    void showLegend();
    LevelFields& fieldsOf(viewers::RangeLevel level);
    bool columnFilled(QLineEdit* LevelFields::*column) const;
    void fillDifferences();
    // The "± 0.21" labels from calculatedSigma_, and the marks of the differences.
    void showUncertainties();
    QString selectedPath(const FolderListBox* folders, const FileListBox* files) const;
    // The bytes of the file selected in `files`, whose path goes to `path`; a file that cannot be
    // read is reported with readError.
    std::optional<std::string> readSelected(const FolderListBox* folders, const FileListBox* files,
                                            const char* readError, QString& path);

    MessageSink& messages_;
    viewers::DepthDoseTables tables_;
    double pddMax_ = 0.0;
    FolderListBox* measuredFolders_ = nullptr;
    FileListBox* measuredFiles_ = nullptr;
    FolderListBox* calculatedFolders_ = nullptr;
    FileListBox* calculatedFiles_ = nullptr;
    DrawingSurface* plot_ = nullptr;
    std::array<LevelFields, 4> levelFields_{};    // R90, R80, R50, R10
    QLineEdit* cursorDepthBox_ = nullptr;         // mm
    QLineEdit* cursorDoseBox_ = nullptr;          // percent
    std::array<SurfaceLine*, 4> levelMarkers_{};  // in search order: R50, R80, R90, R10
    SurfaceLine* cursorLine_ = nullptr;
    MeasuredFileImport* measuredImport_ = nullptr;
    viewers::CurveLegend curves_;  // the curves drawn since the plot was last cleared
    PlotLegend* legend_ = nullptr;
    std::optional<beamdata::RangeLevels> calculatedSigma_;
};

}  // namespace orvalis
