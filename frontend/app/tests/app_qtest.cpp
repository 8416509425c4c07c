// Navigation between the main menu and the set-up window.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "app/orvalis_app.h"
#include "testdoubles/recorders.h"
#include "setup/form3.h"
#include "setup/form5.h"
#include "setup/spectrum_display_window.h"
#include "viewers/kernel_viewer_window.h"
#include "viewers/pdd_comparison_window.h"
#include "widgets/drawing_surface.h"

namespace orvalis {

using testing::RecordingLauncher;
using testing::RecordingMessages;

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void startShowsOnlyTheMainMenuAndReadsNothing();
    void spectrumEstimationTwiceLeavesTheSameState();
    void backHidesTheSetUpAndKeepsItsBoxes();
    void exitEndsTheProgram();
    void spectrumEstimationResetsTheComparison();
    void kernelViewerOpensTheKernelSetUp();
    void spectrumDisplayIsEmptiedWhenOpened();
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
};

}  // namespace

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
    Form3& setup = f.app.setupWindow();
    QVERIFY(setup.isVisible());
    QVERIFY(f.app.mainMenu().isVisible());  // the menu stays open under it
    const QStringList names{"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text8", "Text9"};
    QStringList first;
    for (const QString& name : names) first << f.text(name.toLatin1());
    QCOMPARE(first[2], QString("9MeV-9.0_8.0-2.0"));
    QCOMPARE(first[6], QString("10000000"));
    const auto relative = f.app.data().SpecRelative;
    const QImage plot = setup.findChild<DrawingSurface*>("Picture1")->buffer();

    f.click(f.app.mainMenu(), "Command1");
    QCOMPARE(&f.app.setupWindow(), &setup);  // one instance only
    QStringList second;
    for (const QString& name : names) second << f.text(name.toLatin1());
    QCOMPARE(second, first);
    QVERIFY(f.app.data().SpecRelative == relative);
    QCOMPARE(setup.findChild<DrawingSurface*>("Picture1")->buffer(), plot);
    QVERIFY(setup.findChild<QPushButton*>("Command6")->isEnabled());
    QVERIFY(!setup.findChild<QPushButton*>("Command3")->isEnabled());
}

void AppTest::backHidesTheSetUpAndKeepsItsBoxes() {
    Fixture f;
    f.app.start();
    f.app.openKernelSetup();
    Form3& setup = f.app.setupWindow();
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
    PddComparisonWindow& comparison = f.app.comparisonWindow();
    QVERIFY(comparison.isVisible());
    QCOMPARE(comparison.windowTitle(), QString("Percentage Depth Dose Curve"));
    comparison.findChild<QLineEdit*>("Text9")->setText("50.00");
    f.app.data().CalcCurveShown = true;
    f.app.data().PddDose[20] = 0.5;
    f.click(f.app.setupWindow(), "Command2");  // the set-up's back hides both
    QVERIFY(!comparison.isVisible());
    f.click(f.app.mainMenu(), "Command1");
    QVERIFY(comparison.isVisible());
    QVERIFY(comparison.findChild<QLineEdit*>("Text9")->text().isEmpty());
    QVERIFY(!f.app.data().CalcCurveShown);
    QCOMPARE(f.app.data().PddDose[20], 0.5);  // the loaded tables are not touched
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

}  // namespace orvalis

QTEST_MAIN(orvalis::AppTest)
#include "app_qtest.moc"
