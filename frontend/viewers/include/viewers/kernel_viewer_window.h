#pragma once
// "Electron Kernel for High-energy Electron beam": a kernel file as a grey map of depth against
// radius with its legend, sum and maximum, the cross-hair read-out, erasing a file, and the way
// to a new kernel calculation.
#include <QDir>
#include <QWidget>
#include <array>

#include "common/message_sink.h"
#include "common/module1.h"
#include "viewers/kernel_map.h"

class QLineEdit;

namespace orvalis {

class DrawingSurface;
class SurfaceLine;
class FileListBox;

class KernelViewerWindow : public QWidget {
    Q_OBJECT
public:
    // The file lists start in startFolder (the program's current folder).
    KernelViewerWindow(Module1& shared, MessageSink& messages, const QString& startFolder = QDir::currentPath(),
                       QWidget* parent = nullptr);

    DrawingSurface* map() const { return map_; }
    DrawingSurface* legend() const { return legend_; }
    // Milliseconds the last display spent painting the 95 x 60 map.
    qint64 lastMapDrawMs() const { return lastMapDrawMs_; }

signals:
    void newCalculationRequested();  // "New Calculation": the set-up window in its kernel set-up
    void backRequested();            // back: this window is hidden, the comparison window too

private:
    void buildControls();
    void buildMap();
    void buildReadout();
    void drawLegend();
    void display();
    void eraseFile();
    void showReadout(double x, double y);
    void paintMap(const viewers::KernelTable& table, double maxValue);

    Module1& shared_;
    MessageSink& messages_;
    FileListBox* file1_ = nullptr;
    DrawingSurface* map_ = nullptr;
    DrawingSurface* legend_ = nullptr;
    std::array<QLineEdit*, 7> text_{};  // Text1 .. Text6 at their numbers
    SurfaceLine* crossY_ = nullptr;     // Line15, horizontal
    SurfaceLine* crossX_ = nullptr;     // Line16, vertical
    qint64 lastMapDrawMs_ = 0;
};

}  // namespace orvalis
