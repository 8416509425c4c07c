#pragma once
// "Percentage Depth Dose Curve": a measured and a calculated depth dose side by side, their R90,
// R80, R50 and R10 with differences, and the cursor read-out of the calculated curve.
#include <QDir>
#include <QWidget>
#include <array>
#include <span>

#include "common/message_sink.h"
#include "common/module1.h"
#include "viewers/pdd_comparison.h"

class QLineEdit;

namespace orvalis {

class DrawingSurface;
class SurfaceLine;
class FolderListBox;
class FileListBox;
class MeasuredScanImport;

class PddComparisonWindow : public QWidget {
    Q_OBJECT
public:
    // The file lists start in startFolder (the program's current folder).
    PddComparisonWindow(Module1& shared, MessageSink& messages, const QString& startFolder = QDir::currentPath(),
                        QWidget* parent = nullptr);

    // The main menu's reset before it shows the window: both file lists refreshed, the empty plot
    // with the menu's label positions, markers and cursor hidden, the fields emptied, each file
    // list set to its folder list's folder, no calculated curve shown.
    void resetFromMainMenu();
    // "Graph clear": the calculated list refreshed, then the empty plot and emptied fields.
    void graphClear();

    // A measured curve from a water-tank file (at most 150 points), loaded like a measured file.
    void loadMeasuredCurve(const QString& path, std::span<const double> depthMm, std::span<const double> value);
    MeasuredScanImport* measuredImport() const { return measuredImport_; }

    double pddMax() const { return pddMax_; }
    DrawingSurface* plot() const { return plot_; }

signals:
    // A measured file was loaded without error (the path as selected).
    void measuredLoaded(const QString& path);
    // A calculated file was loaded without error.
    void calculatedLoaded(const QString& path);

private:
    void buildControls();
    void buildTable();
    void buildPlot();
    void loadMeasured();
    void loadCalculated();
    void finishMeasuredLoad(const viewers::PddLoad& load, const QString& path);
    void showReadout(double x);
    void resetPlot(const std::array<viewers::PlotLabel, 12>& labels);
    void drawCurve(const std::vector<viewers::PlotPoint>& points, const QColor& firstPoint, const QColor& rest);
    void showRanges(const viewers::PddLoad& load, bool measured);
    void fillDifferences();
    QString selectedPath(const FolderListBox* folders, const FileListBox* files) const;

    Module1& shared_;
    MessageSink& messages_;
    double pddMax_ = 0.0;
    FolderListBox* dir1_ = nullptr;
    FileListBox* file1_ = nullptr;
    FolderListBox* dir2_ = nullptr;
    FileListBox* file2_ = nullptr;
    DrawingSurface* plot_ = nullptr;
    std::array<QLineEdit*, 15> text_{};      // Text1 .. Text14 at their numbers
    std::array<SurfaceLine*, 4> markers_{};  // R50, R80, R90, R10 (Line1 .. Line4)
    SurfaceLine* cursor_ = nullptr;          // Line5
    MeasuredScanImport* measuredImport_ = nullptr;
};

}  // namespace orvalis
