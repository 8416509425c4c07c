#pragma once
// The spectrum display: fluence files of depth-dose runs chosen from drive, folder and file lists
// and plotted as relative fluence over electron energy, each curve scaled to its own largest
// fluence; curves accumulate until "Clear".
#include <QDir>
#include <QWidget>

#include "common/message_sink.h"
#include "common/module1.h"

class QLineEdit;

namespace orvalis {

class DrawingSurface;
class DriveListBox;
class FolderListBox;
class FileListBox;

class SpectrumDisplayWindow : public QWidget {
    Q_OBJECT
public:
    // The file lists start in startFolder (the program's current folder).
    SpectrumDisplayWindow(Module1& shared, MessageSink& messages, const QString& startFolder = QDir::currentPath(),
                          QWidget* parent = nullptr);

    // "Clear", and the main menu's reset before it shows the window: empty title, empty frame.
    void clearChart();

    DrawingSurface* chart() const { return chart_; }
    double fluenceMax() const { return fluenceMax_; }
    int loadedPoints() const { return loadedPoints_; }

private:
    void buildControls();
    void loadSelected();
    void plotLoaded();

    Module1& shared_;
    MessageSink& messages_;
    DriveListBox* drive1_ = nullptr;
    FolderListBox* dir1_ = nullptr;
    FileListBox* file1_ = nullptr;
    QLineEdit* text1_ = nullptr;
    DrawingSurface* chart_ = nullptr;
    double fluenceMax_ = 0.0;  // largest fluence of the file loaded last
    int loadedPoints_ = 0;     // points 1..n of the shared spectrum arrays hold that file
};

}  // namespace orvalis
