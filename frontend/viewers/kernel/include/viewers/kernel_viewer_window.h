#pragma once
// "Electron Kernel for High-energy Electron beam": a kernel file as a grey map of depth against
// radius with its legend, sum and maximum, the cross-hair read-out, erasing a file, and the way
// to a new kernel calculation.
#include <QWidget>
#include <memory>

#include "viewers/kernel_map.h"
#include "viewers/viewer_context.h"

class QLineEdit;

namespace orvalis {

class DrawingSurface;
class SurfaceLine;
class FileListBox;

class KernelViewerWindow : public QWidget {
    Q_OBJECT
public:
    explicit KernelViewerWindow(const ViewerContext& context, QWidget* parent = nullptr);
    ~KernelViewerWindow() override;

    DrawingSurface* map() const { return map_; }
    DrawingSurface* legend() const { return legend_; }
    // Milliseconds the last display spent painting the 95 x 60 map.
    qint64 lastMapDrawMs() const { return lastMapDrawMs_; }
    // True from the first time a kernel file is displayed: the cross-hair read-out answers.
    bool kernelShown() const { return kernelShown_; }

signals:
    void newCalculationRequested();  // "New Calculation": the set-up window in its kernel set-up
    void backRequested();            // back: this window is hidden, the comparison window too

private:
    void buildControls(const QString& startFolder);
    void buildMap();
    void buildReadout();
    void drawLegend();
    void display();
    void eraseFile();
    void showReadout(double x, double y);
    void paintMap(const beamdata::KernelTable& table, double maxValue);

    MessageSink& messages_;
    // The kernel displayed last, by depth bin (0..150) and ring (0..75); index 0 of either stays 0.
    // Erasing its file leaves it, so the read-out still answers over the blank map.
    std::unique_ptr<beamdata::KernelTable> kernelTable_ = std::make_unique<beamdata::KernelTable>();
    bool kernelShown_ = false;
    FileListBox* kernelFiles_ = nullptr;
    DrawingSurface* map_ = nullptr;
    DrawingSurface* legend_ = nullptr;
    QLineEdit* sumBox_ = nullptr;       // total incident energy at the origin
    QLineEdit* maxValueBox_ = nullptr;  // the kernel's maximum, the 100 % of the read-out
    QLineEdit* titleBox_ = nullptr;
    QLineEdit* depthBox_ = nullptr;    // under the cross-hair, mm
    QLineEdit* radiusBox_ = nullptr;   // mm
    QLineEdit* percentBox_ = nullptr;  // of the maximum
    SurfaceLine* crossHairHorizontal_ = nullptr;
    SurfaceLine* crossHairVertical_ = nullptr;
    qint64 lastMapDrawMs_ = 0;
};

}  // namespace orvalis
