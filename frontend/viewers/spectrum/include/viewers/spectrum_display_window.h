#pragma once
// The spectrum display: fluence files of depth-dose runs chosen from drive, folder and file lists
// and plotted as relative fluence over electron energy, each curve scaled to its own largest
// fluence; curves accumulate until "Clear".
#include <QWidget>

#include "common/shared_spectrum.h"
#include "viewers/viewer_context.h"

class QLineEdit;

namespace orvalis {

class DrawingSurface;
class DriveListBox;
class FolderListBox;
class FileListBox;

class SpectrumDisplayWindow : public QWidget {
    Q_OBJECT
public:
    // A loaded file's points go into `spectrum`, which the set-up window shares.
    SpectrumDisplayWindow(SharedSpectrum& spectrum, const ViewerContext& context, QWidget* parent = nullptr);

    // "Clear", and the main menu's reset before it shows the window: empty title, empty frame.
    void clearChart();

    DrawingSurface* chart() const { return chart_; }
    double fluenceMax() const { return fluenceMax_; }
    int loadedPoints() const { return loadedPoints_; }

private:
    void buildControls();
    void loadSelected();
    void plotLoaded();

    SharedSpectrum& spectrum_;
    MessageSink& messages_;
    DriveListBox* drives_ = nullptr;
    FolderListBox* folders_ = nullptr;
    FileListBox* files_ = nullptr;
    QLineEdit* titleBox_ = nullptr;
    DrawingSurface* chart_ = nullptr;
    double fluenceMax_ = 0.0;  // largest fluence of the file loaded last
    int loadedPoints_ = 0;     // points 1..n of the shared spectrum hold that file
};

}  // namespace orvalis
