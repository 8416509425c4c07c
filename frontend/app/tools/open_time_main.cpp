// How long "Spectrum Estimation" takes to open the set-up and comparison windows in the current
// folder, until they are painted and the file lists can be used. Run it in a big folder:
//   cd folder && QT_QPA_PLATFORM=offscreen open-time
#include <QApplication>
#include <QElapsedTimer>

#include <filesystem>
#include <iostream>

#include "app/orvalis_app.h"
#include "testdoubles/recorders.h"
#include "viewers/comparison_window.h"
#include "widgets/file_browser_lists.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    orvalis::testing::RecordingMessages messages;
    orvalis::testing::RecordingLauncher launcher;
    orvalis::OrvalisApp app(messages, launcher, std::filesystem::current_path(), [] {});
    app.start();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    app.openDepthDoseSetup();
    QApplication::processEvents();
    const qint64 shownMs = timer.elapsed();
    auto* files = app.comparisonWindow().findChild<orvalis::FileListBox*>("File1");
    const int listedAtOnce = files->count();
    while (files->isFilling()) QApplication::processEvents();
    std::cout << "opened and painted: " << shownMs << " ms (" << listedAtOnce << " measured files listed by then); all "
              << files->count() << " listed after " << timer.elapsed() << " ms\n";
    return 0;
}
