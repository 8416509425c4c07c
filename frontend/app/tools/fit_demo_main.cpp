// fit-demo: the spectrum-fit workflow played on the real windows for the README's screenshots.
// Run in a work folder (ELDAT.dat, water.csda, the measured file) on a display:
//   fit-demo MEASURED.csv SCREENSHOT.png [free]
// opens "Spectrum Estimation", loads the measured file, presses "Fit spectrum" and "Start fit", waits for the fit,
// then sets the set-up window from it (Beta) or, with "free", fits the free-form model and presses
// "PDD Calculation of this spectrum", and takes the screenshot with ImageMagick's import.
#include <QApplication>
#include <QDir>

#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>

#include <iostream>

#include "app/orvalis_app.h"
#include "setup/setup_window.h"
#include "viewers/comparison_window.h"
#include "viewers/free_spectrum_view.h"
#include "viewers/spectrum_fit_panel.h"
#include "widgets/file_browser_lists.h"
#include "widgets/qt_message_sink.h"
#include "widgets/qt_program_launcher.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const bool free = argc == 4 && std::string(argv[3]) == "free";
    if (argc != 3 && !free) {
        std::cerr << "usage: fit-demo MEASURED.csv SCREENSHOT.png [free]\n";
        return 1;
    }
    const QString measured = QFileInfo(QString::fromLocal8Bit(argv[1])).fileName();
    const QString screenshot = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    QApplication::setQuitOnLastWindowClosed(false);
    orvalis::QtMessageSink messages;
    orvalis::QtProgramLauncher launcher(&messages);
    orvalis::OrvalisApp app(messages, launcher, std::filesystem::current_path(), [] {});
    app.start();
    app.openDepthDoseSetup();
    orvalis::ComparisonWindow& comparison = app.comparisonWindow();
    comparison.move(0, 0);
    app.setupWindow().move(comparison.frameGeometry().width() + 8, 0);
    if (!comparison.findChild<orvalis::FileListBox*>(QStringLiteral("File1"))->selectFile(measured)) {
        std::cerr << "fit-demo: " << measured.toStdString() << " is not in the measured file list\n";
        return 1;
    }
    comparison.findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    orvalis::SpectrumFitPanel* panel = app.spectrumFit();
    const auto takeScreenshot = [&] {
        panel->move(free ? comparison.frameGeometry().width() + 8 : 0,
                    free ? 0 : comparison.frameGeometry().height() + 8);
        panel->raise();
        QTimer::singleShot(1500, [&] {
            const int status = QProcess::execute(QStringLiteral("import"), {"-window", "root", screenshot});
            QCoreApplication::exit(status == 0 ? 0 : 1);
        });
    };
    QObject::connect(panel, &orvalis::SpectrumFitPanel::fitFinished, [&](bool succeeded) {
        if (!succeeded) {
            std::cerr << "fit-demo: the fit did not succeed\n";
            QCoreApplication::exit(1);
            return;
        }
        if (!free) {
            panel->findChild<QPushButton*>(QStringLiteral("FitApply"))->click();
            takeScreenshot();
            return;
        }
        app.setupWindow().hide();  // the fit window takes its place beside the comparison
        orvalis::FreeSpectrumView* view = panel->freeSpectrum();
        QObject::connect(view, &orvalis::FreeSpectrumView::simulatorStarted, takeScreenshot);
        QObject::connect(view, &orvalis::FreeSpectrumView::runFailed, [] { QCoreApplication::exit(1); });
        view->findChild<QPushButton*>(QStringLiteral("FreeRunPdd"))->click();
    });
    if (free) panel->findChild<QRadioButton*>(QStringLiteral("FitModelFree"))->setChecked(true);
    panel->fitButton()->click();
    panel->findChild<QPushButton*>(QStringLiteral("FitStart"))->click();
    return QApplication::exec();
}
