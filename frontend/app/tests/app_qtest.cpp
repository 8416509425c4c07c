// Navigation between the windows, and the spectrum that the set-up window and the spectrum display
// share.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_menu_window.h"
#include "app/orvalis_app.h"
#include "commissioning/commissioning_window.h"
#include "engine/program_info.h"
#include "engine/run_frame.h"
#include "setup/setup_window.h"
#include "testdoubles/latin1_folder.h"
#include "testdoubles/recorders.h"
#include "viewers/comparison_window.h"
#include "viewers/kernel_viewer_window.h"
#include "viewers/spectrum_display_window.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"
#include "widgets/native_path.h"

#include <filesystem>

namespace orvalis {

using testing::RecordingLauncher;
using testing::RecordingMessages;

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void mainMenuButtonsCarryTheirCommands();
    void startShowsOnlyTheMainMenuAndReadsNothing();
    void spectrumEstimationTwiceLeavesTheSameState();
    void backHidesTheSetUpAndKeepsItsBoxes();
    void exitEndsTheProgram();
    void spectrumEstimationResetsTheComparison();
    void kernelViewerOpensTheKernelSetUp();
    void spectrumDisplayIsEmptiedWhenOpened();
    void aLoadedFluenceFileIsLaunchedUntilTheNextScrollBarMove();
    void commissioningOpensFromTheComparisonAndItsBeamsOpenThere();
    void aboutBoxGivesTheVersionWithoutHoldingUpTheMenu();
    void firstStartNoticeLeavesTheMenuUsable();
    void aLatin1WorkFolderReadsItsRangeTableAndTakesTheRun();
};

namespace {

struct Fixture {
    QTemporaryDir work;
    RecordingMessages messages;
    RecordingLauncher launcher;
    int quitCount = 0;
    OrvalisApp app{messages, launcher, work.path().toStdString(), [this] { ++quitCount; }};

    Fixture() { QFile::copy(QString(ORVALIS_DATA_DIR) + "/water.csda", work.filePath("water.csda")); }
    void click(QWidget& window, const char* name) { window.findChild<QPushButton*>(name)->click(); }
    QString text(const char* name) { return app.setupWindow().findChild<QLineEdit*>(name)->text(); }
    // A file in the work folder, chosen in a window's file list (as a click would).
    void writeAndSelect(QWidget& window, const char* list, const QString& name, const QByteArray& bytes) {
        QFile file(work.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        auto* files = window.findChild<FileListBox*>(list);
        files->refresh();
        QVERIFY(files->selectFile(name));
        emit files->fileClicked(name);
    }
};

// A calculated depth dose: 1 down to record 40, then 0.
QByteArray calculatedFile() {
    QByteArray text = "  9.00 MeV run\r\n   10000000.\r\n";
    for (int i = 1; i <= 125; ++i) text += QByteArray::number(i - 15) + ". " + (i <= 40 ? "1.0" : "0.0") + "\r\n";
    return text;
}

// A fluence file: 100 bins up to 9 MeV, weight 0.02 below 6.3 MeV and 0 above.
QByteArray fluenceFile() {
    QByteArray text = "run.spct\r\n [MeV] ,  Fluence\r\n";
    for (int i = 1; i <= 100; ++i) text += QByteArray::number(0.09 * i) + ", " + (i <= 70 ? "0.02" : "0.0") + "\r\n";
    return text;
}

}  // namespace

void AppTest::mainMenuButtonsCarryTheirCommands() {
    MainMenuWindow menu;
    QCOMPARE(menu.windowTitle(), QString("Orvalis Ver.2"));
    QSignalSpy estimation(&menu, &MainMenuWindow::spectrumEstimationRequested);
    QSignalSpy exitSpy(&menu, &MainMenuWindow::exitRequested);
    QCOMPARE(menu.findChild<QPushButton*>("Command3")->text(), QString("Spectrum Display "));
    QCOMPARE(menu.findChild<QPushButton*>("Command4")->text(), QString("Electron Kernel"));
    menu.findChild<QPushButton*>("Command1")->click();
    QCOMPARE(estimation.count(), 1);
    menu.findChild<QPushButton*>("Command5")->click();
    menu.close();  // closing the menu ends the program as well
    QCOMPARE(exitSpy.count(), 2);
}

void AppTest::startShowsOnlyTheMainMenuAndReadsNothing() {
    Fixture f;
    QFile::remove(f.work.filePath("water.csda"));
    f.app.start();
    QVERIFY(f.app.mainMenu().isVisible());
    QVERIFY(!f.app.hasSetupWindow());
    QVERIFY(f.messages.warnings.empty());  // the missing table is not noticed before the set-up opens
}

void AppTest::spectrumEstimationTwiceLeavesTheSameState() {
    Fixture f;
    f.app.start();
    f.click(f.app.mainMenu(), "Command1");
    SetupWindow& setup = f.app.setupWindow();
    QVERIFY(setup.isVisible());
    QVERIFY(f.app.mainMenu().isVisible());  // the menu stays open under it
    const QStringList names{"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text8", "Text9"};
    QStringList first;
    for (const QString& name : names) first << f.text(name.toLatin1());
    QCOMPARE(first[2], QString("9MeV-9.0_8.0-2.0"));
    QCOMPARE(first[6], QString("10000000"));
    const SpectrumArray relative = f.app.sharedSpectrum().relativeWeight();
    const QImage plot = setup.findChild<DrawingSurface*>("Picture1")->buffer();

    f.click(f.app.mainMenu(), "Command1");
    QCOMPARE(&f.app.setupWindow(), &setup);  // one instance only
    QStringList second;
    for (const QString& name : names) second << f.text(name.toLatin1());
    QCOMPARE(second, first);
    QVERIFY(f.app.sharedSpectrum().relativeWeight() == relative);
    QCOMPARE(setup.findChild<DrawingSurface*>("Picture1")->buffer(), plot);
    QVERIFY(setup.findChild<QPushButton*>("Command6")->isEnabled());
    QVERIFY(!setup.findChild<QPushButton*>("Command3")->isEnabled());
}

void AppTest::backHidesTheSetUpAndKeepsItsBoxes() {
    Fixture f;
    f.app.start();
    f.app.openKernelSetup();
    SetupWindow& setup = f.app.setupWindow();
    QCOMPARE(f.text("Text8"), QString("1000000"));
    setup.findChild<QLineEdit*>("Text7")->setText("3.0");
    setup.findChild<QScrollBar*>("VScroll1")->setValue(55);
    f.click(setup, "Command2");
    QVERIFY(!setup.isVisible());
    f.click(f.app.mainMenu(), "Command1");
    QVERIFY(setup.isVisible());
    QCOMPARE(f.text("Text7"), QString("3.0"));  // typed boxes survive
    QCOMPARE(f.text("Text1"), QString("8.0"));  // the opener resets the scroll bars
    QCOMPARE(f.text("Text8"), QString("10000000"));
    setup.close();  // the title bar's close acts like the back button
    QVERIFY(!setup.isVisible());
}

void AppTest::exitEndsTheProgram() {
    Fixture f;
    f.app.start();
    f.click(f.app.mainMenu(), "Command1");
    f.click(f.app.mainMenu(), "Command5");
    QCOMPARE(f.quitCount, 1);
    QVERIFY(!f.app.mainMenu().isVisible());
    QVERIFY(!f.app.setupWindow().isVisible());
    QVERIFY(f.messages.questions.empty());
}

void AppTest::spectrumEstimationResetsTheComparison() {
    Fixture f;
    f.app.start();
    QVERIFY(!f.app.hasComparisonWindow());
    f.click(f.app.mainMenu(), "Command1");
    ComparisonWindow& comparison = f.app.comparisonWindow();
    QVERIFY(comparison.isVisible());
    QCOMPARE(comparison.windowTitle(), QString("Percentage Depth Dose Curve"));
    f.writeAndSelect(comparison, "File2", "run.pdd", calculatedFile());
    f.click(comparison, "Command2");
    QVERIFY(comparison.tables().calculatedCurveShown);
    QVERIFY(!comparison.findChild<QLineEdit*>("Text9")->text().isEmpty());  // its R50
    f.click(f.app.setupWindow(), "Command2");                               // the set-up's back hides both
    QVERIFY(!comparison.isVisible());
    f.click(f.app.mainMenu(), "Command1");
    QVERIFY(comparison.isVisible());
    QVERIFY(comparison.findChild<QLineEdit*>("Text9")->text().isEmpty());
    QVERIFY(!comparison.tables().calculatedCurveShown);
    QCOMPARE(comparison.tables().dose[20], 1.0);  // the loaded tables are not touched
    // The main menu's labels sit further left than the window's own: "100" of the dose axis
    // starts at -600 instead of -500.
    DrawingSurface* plot = comparison.plot();
    const auto inkBetween = [plot](double fromX, double toX) {
        for (double x = fromX; x < toX; x += 5)
            for (double y = 1015; y > 960; y -= 5)
                if (plot->bufferColorAt(x, y) == QColor(0, 0, 0)) return true;
        return false;
    };
    QVERIFY(inkBetween(-600, -500));
    comparison.graphClear();
    QVERIFY(!inkBetween(-600, -500));
}

void AppTest::kernelViewerOpensTheKernelSetUp() {
    Fixture f;
    f.app.start();
    f.click(f.app.mainMenu(), "Command4");
    KernelViewerWindow& viewer = f.app.kernelViewer();
    QVERIFY(viewer.isVisible());
    QCOMPARE(viewer.windowTitle(), QString("Electron Kernel for High-energy Electron beam"));
    f.click(viewer, "Command5");
    QVERIFY(f.app.setupWindow().isVisible());
    QCOMPARE(f.text("Text8"), QString("1000000"));
    QVERIFY(f.app.setupWindow().findChild<QPushButton*>("Command3")->isEnabled());
    QVERIFY(!f.app.setupWindow().findChild<QPushButton*>("Command6")->isEnabled());
    QVERIFY(!f.app.hasComparisonWindow());  // the kernel set-up leaves the comparison alone
    f.click(f.app.mainMenu(), "Command1");
    QVERIFY(f.app.comparisonWindow().isVisible());
    f.click(viewer, "Command1");  // back: the viewer and the comparison are hidden
    QVERIFY(!viewer.isVisible());
    QVERIFY(!f.app.comparisonWindow().isVisible());
    QVERIFY(f.app.mainMenu().isVisible());
}

void AppTest::spectrumDisplayIsEmptiedWhenOpened() {
    Fixture f;
    f.app.start();
    f.click(f.app.mainMenu(), "Command3");
    SpectrumDisplayWindow& display = f.app.spectrumDisplay();
    QVERIFY(display.isVisible());
    display.findChild<QLineEdit*>("Text1")->setText("old title");
    display.chart()->line(1, 1, 19, 99, QColor(255, 0, 0));
    f.click(display, "Command5");
    QVERIFY(!display.isVisible());
    f.click(f.app.mainMenu(), "Command3");
    QVERIFY(display.isVisible());
    QVERIFY(display.findChild<QLineEdit*>("Text1")->text().isEmpty());
    QCOMPARE(display.chart()->bufferColorAt(10, 50), QColor(128, 128, 128));  // the empty frame's grid again
}

// The set-up window launches whatever the shared spectrum holds: a fluence file loaded in the
// spectrum display replaces the Beta weights until a scroll bar moves again.
void AppTest::aLoadedFluenceFileIsLaunchedUntilTheNextScrollBarMove() {
    Fixture f;
    f.app.start();
    f.click(f.app.mainMenu(), "Command1");  // alpha 8.0, beta 2.0 computed
    f.click(f.app.mainMenu(), "Command3");
    f.writeAndSelect(f.app.spectrumDisplay(), "File1", "run.spct", fluenceFile());
    QCOMPARE(f.app.spectrumDisplay().loadedPoints(), 100);
    f.click(f.app.mainMenu(), "Command1");  // the bars stand at 80 and 20 already: nothing recomputed
    SetupWindow& setup = f.app.setupWindow();
    const std::filesystem::path folder = f.work.path().toStdString();
    f.click(setup, "Command6");
    engine::Spectrum launched = engine::readSpectrumFile(folder / "Nimbrola.txt");
    QVERIFY(qAbs(launched.binWeight[0] - 0.02f) < 1e-6f);  // the fluence of the loaded file, not the Beta weight
    QCOMPARE(launched.binWeight[86], 0.0f);

    setup.findChild<QScrollBar*>("VScroll2")->setValue(21);
    f.click(setup, "Command6");
    launched = engine::readSpectrumFile(folder / "Nimbrola.txt");
    QCOMPARE(launched.binWeight[0], 0.0f);  // the Beta spectrum again
    QVERIFY(launched.binWeight[86] > 0.9f);
}

// "Commissioning..." in the comparison window opens the Commissioning window; a beam opened from its
// results lands in the comparison window as a measured curve, the chosen depth curve of its file.
void AppTest::commissioningOpensFromTheComparisonAndItsBeamsOpenThere() {
    Fixture f;
    f.click(f.app.mainMenu(), "Command1");
    ComparisonWindow& comparison = f.app.comparisonWindow();
    auto* button = comparison.findChild<QPushButton*>("Commissioning");
    for (QWidget* other : comparison.findChildren<QWidget*>())  // clear of every control of the window
        if (other != button && other->parent() == &comparison && !other->objectName().isEmpty() &&
            other->isVisibleTo(&comparison))
            QVERIFY2(!button->geometry().intersects(other->geometry()), qPrintable(other->objectName()));
    QVERIFY(comparison.rect().contains(button->geometry()));
    button->click();
    QVERIFY(f.app.commissioning().isVisible());
    const QString tank = QString(ORVALIS_SAMPLES_DIR) + "/electrons-6-9-12MeV.mcc";
    QSignalSpy measured(&comparison, &ComparisonWindow::measuredLoaded);
    emit f.app.commissioning().beamOpened(tank, 2);
    QCOMPARE(measured.count(), 1);
    QVERIFY(f.messages.warnings.empty());
    // The 9 MeV curve of the file (the second), not the 6 MeV one: its R90 in the measured column.
    QCOMPARE(comparison.findChild<QLineEdit*>("Text5")->text(), QStringLiteral("24.61"));
}

void AppTest::aboutBoxGivesTheVersionWithoutHoldingUpTheMenu() {
    Fixture f;
    f.app.start();
    QAction* about = f.app.mainMenu().findChild<QAction*>("aboutAction");
    QVERIFY(about != nullptr);
    QVERIFY(f.app.mainMenu().actions().contains(about));  // offered by the menu's context menu
    QCOMPARE(about->text(), QString("About Orvalis"));
    about->trigger();
    auto* box = f.app.mainMenu().findChild<QMessageBox*>("aboutBox");
    QVERIFY(box != nullptr);
    QTRY_VERIFY(box->isVisible());
    QCOMPARE(box->windowModality(), Qt::NonModal);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(box->text().startsWith(QString("Orvalis ") + engine::programVersion() + "\n"));
    QVERIFY(box->text().contains(f.work.path()));
    // The menu goes on working while the box is open.
    QSignalSpy display(&f.app.mainMenu(), &MainMenuWindow::spectrumDisplayRequested);
    f.click(f.app.mainMenu(), "Command3");
    QCOMPARE(display.count(), 1);
    box->close();
}

void AppTest::firstStartNoticeLeavesTheMenuUsable() {
    Fixture f;
    f.app.start();
    f.app.showNotice("Created the work folder /home/u/Orvalis.", false);
    auto* box = f.app.mainMenu().findChild<QMessageBox*>("noticeBox");
    QVERIFY(box != nullptr);
    QTRY_VERIFY(box->isVisible());
    QCOMPARE(box->text(), QString("Created the work folder /home/u/Orvalis."));
    QCOMPARE(box->icon(), QMessageBox::Information);
    // Beside the menu: no button of the menu lies under the box.
    for (QPushButton* button : f.app.mainMenu().findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
        QVERIFY2(!box->frameGeometry().intersects(onScreen), qPrintable(button->text()));
    }
    // Neither modal to the program nor to the menu: a click on the menu reaches it.
    QCOMPARE(box->windowModality(), Qt::NonModal);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    box->close();
    QTRY_VERIFY(f.app.mainMenu().findChildren<QMessageBox*>("noticeBox").isEmpty());  // gone, not hidden
    f.app.showNotice("ELDAT.dat is neither in the work folder nor in /usr/share/orvalis.", true);
    auto* warning = f.app.mainMenu().findChild<QMessageBox*>("noticeBox");
    QVERIFY(warning != nullptr);
    QCOMPARE(warning->icon(), QMessageBox::Warning);
    warning->close();
}

// A work folder whose name is not UTF-8: the set-up finds water.csda there and writes the run
// there, and the comparison window's lists start in it.
void AppTest::aLatin1WorkFolderReadsItsRangeTableAndTakesTheRun() {
#ifdef Q_OS_WIN
    QSKIP("Windows names are UTF-16");
#else
    namespace fs = std::filesystem;
    QTemporaryDir base;
    const testing::Latin1Folder latin1(nativePath(base.path()));
    const fs::path& folder = latin1.path();
    fs::copy_file(fs::path(ORVALIS_DATA_DIR) / "water.csda", folder / "water.csda");
    RecordingMessages messages;
    RecordingLauncher launcher;
    OrvalisApp app{messages, launcher, folder, [] {}};
    app.openDepthDoseSetup();
    QVERIFY(app.setupWindow().rangeTableLoaded());
    app.setupWindow().findChild<QPushButton*>("Command6")->click();
    QVERIFY2(messages.warnings.empty(), messages.warnings.empty() ? "" : messages.warnings[0].c_str());
    QCOMPARE(launcher.folders, std::vector<fs::path>{folder});
    QVERIFY(fs::is_regular_file(folder / "Nimbrola.dat"));
    QCOMPARE(nativePath(app.comparisonWindow().findChild<FolderListBox*>("Dir1")->path()), folder);
#endif
}

}  // namespace orvalis

QTEST_MAIN(orvalis::AppTest)
#include "app_qtest.moc"
