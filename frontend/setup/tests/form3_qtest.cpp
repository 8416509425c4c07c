// The set-up window under the offscreen platform, with recorders for messages and launches.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

#include "common/number_pattern.h"
#include "recorders.h"
#include "setup/form3.h"
#include "setup/form5.h"
#include "widgets/drawing_surface.h"

namespace orvalis {

using testing::RecordingLauncher;
using testing::RecordingMessages;

class Form3Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadSetsTheDefaultsAndReadsTheRangeTable();
    void openerPreparesDepthDoseAndKernelSetUps();
    void scrollBarStepChangesBoxCurveAndName();
    void typingIntoTheNameBoxIsUndone();
    void spectrumOverflowKeepsTheCurveAndTheArrays();
    void cursorReadsOutThePointLeftOfThePointer();
    void cursorHidesAtTheEdges();
    void deriveTurnsTheRangeIntoTheMaximumEnergy();
    void missingRangeTableIsReportedAndTheWindowStillWorks();
    void aReversedRangeTableCountsAsMissing();
    void launchButtonsWriteTheFilesAndStartTheSimulator();
    void launchFaultsAreReportedAndNothingStarts();
    void mainMenuButtonsCarryTheirCommands();

private:
    Form3& makeForm(bool withTable = true);
    template <typename T>
    T* child(const char* name) {
        T* widget = form_->findChild<T*>(name);
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    QString text(const char* name) { return child<QLineEdit>(name)->text(); }

    std::unique_ptr<QTemporaryDir> work_;
    Module1 data_;
    RecordingMessages messages_;
    RecordingLauncher launcher_;
    std::unique_ptr<Form3> form_;
};

void Form3Test::init() {
    work_ = std::make_unique<QTemporaryDir>();
    data_ = Module1{};
    messages_ = RecordingMessages{};
    launcher_ = RecordingLauncher{};
}

void Form3Test::cleanup() {
    form_.reset();
    work_.reset();
}

Form3& Form3Test::makeForm(bool withTable) {
    if (withTable) {
        QFile::copy(QString(ORVALIS_DATA_DIR) + "/water.csda", work_->filePath("water.csda"));
    }
    form_ = std::make_unique<Form3>(data_, messages_, launcher_, work_->path().toStdString());
    return *form_;
}

void Form3Test::loadSetsTheDefaultsAndReadsTheRangeTable() {
    Form3& form = makeForm();
    QCOMPARE(form.windowTitle(), QString("New Calculation"));
    QVERIFY(form.rangeTableLoaded());
    QVERIFY(messages_.warnings.empty());
    QCOMPARE(text("Text1"), QString("8"));
    QCOMPARE(text("Text2"), QString("2"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_8-2"));
    QCOMPARE(text("Text9"), QString("9MeV-9.0_8-2"));
    QCOMPARE(text("Text4"), QString("9.0"));
    QCOMPARE(text("Text7"), QString("4.5"));
    QCOMPARE(text("Text10"), QString("9"));
    QCOMPARE(child<QScrollBar>("VScroll1")->value(), 1);
    QCOMPARE(data_.CsdaEnergy[1], 0.6);
    QCOMPARE(data_.SpecRelative[87], 0.0);  // not computed until the opener sets the scroll bars
    QCOMPARE(form.geometry().size(), QSize(870, 752));
    QCOMPARE(child<DrawingSurface>("Picture1")->geometry(), QRect(392, 248, 457, 401));
}

void Form3Test::openerPreparesDepthDoseAndKernelSetUps() {
    Form3& form = makeForm();
    form.prepare(SetupMode::DepthDose);
    QCOMPARE(text("Text1"), QString("8.0"));
    QCOMPARE(text("Text2"), QString("2.0"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_8.0-2.0"));
    QCOMPARE(text("Text9"), QString("9MeV-9.0_8.0-2.0"));
    QCOMPARE(text("Text8"), QString("10000000"));
    QVERIFY(child<QPushButton>("Command6")->isEnabled());
    QVERIFY(!child<QPushButton>("Command3")->isEnabled());
    QCOMPARE(data_.SpecRelative[87], 1.0);

    form.prepare(SetupMode::Kernel);
    QCOMPARE(text("Text8"), QString("1000000"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_8.0-2.0"));
    QVERIFY(!child<QPushButton>("Command6")->isEnabled());
    QVERIFY(child<QPushButton>("Command3")->isEnabled());
}

void Form3Test::scrollBarStepChangesBoxCurveAndName() {
    Form3& form = makeForm();
    form.prepare(SetupMode::DepthDose);
    auto* picture = child<DrawingSurface>("Picture1");
    // The curve at its peak (x = 0.87) is red; the same spot far from the curve is white.
    QCOMPARE(picture->bufferColorAt(870, 1000 * data_.SpecRelative[87]), QColor(255, 0, 0));
    const QImage before = picture->buffer();
    auto* alphaBar = child<QScrollBar>("VScroll1");
    alphaBar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // one step: 80 -> 79
    QCOMPARE(alphaBar->value(), 79);
    QCOMPARE(text("Text1"), QString("7.9"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_7.9-2.0"));
    QCOMPARE(text("Text9"), QString("9MeV-9.0_7.9-2.0"));
    QVERIFY(picture->buffer() != before);
    // The curve follows the new shape x^6.9 (1 - x), still normalised at its peak x = 0.87.
    QCOMPARE(data_.SpecRelative[87], 1.0);
    QVERIFY(qAbs(data_.SpecRelative[50] - std::pow(0.5, 6.9) * 0.5 / (std::pow(0.87, 6.9) * 0.13)) < 1e-12);
    auto* betaBar = child<QScrollBar>("VScroll2");
    betaBar->triggerAction(QAbstractSlider::SliderPageStepAdd);  // large step: 20 -> 30
    QCOMPARE(text("Text2"), QString("3.0"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_7.9-3.0"));
    // Typing into the alpha box changes neither bar nor curve.
    const QImage typed = picture->buffer();
    child<QLineEdit>("Text1")->setText("1");
    QCOMPARE(picture->buffer(), typed);
    QCOMPARE(alphaBar->value(), 79);
}

void Form3Test::spectrumOverflowKeepsTheCurveAndTheArrays() {
    makeForm().prepare(SetupMode::DepthDose);
    auto* picture = child<DrawingSurface>("Picture1");
    const QImage curve = picture->buffer();
    const auto relative = data_.SpecRelative;
    // A typed alpha of -1000 makes 0.01^(-1001) overflow at the next scroll-bar change.
    child<QLineEdit>("Text1")->setText("-1000");
    child<QScrollBar>("VScroll2")->setValue(21);
    QCOMPARE(text("Text2"), QString("2.1"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_-1000-2.1"));  // the name is still recomposed
    QCOMPARE(picture->buffer(), curve);
    QVERIFY(data_.SpecRelative == relative);
    QVERIFY(messages_.warnings.empty());          // quietly
    child<QScrollBar>("VScroll1")->setValue(50);  // a usable alpha again redraws
    QVERIFY(picture->buffer() != curve);
}

void Form3Test::typingIntoTheNameBoxIsUndone() {
    makeForm().prepare(SetupMode::DepthDose);
    auto* name = child<QLineEdit>("Text3");
    name->setFocus();
    name->end(false);
    QTest::keyClicks(name, "x");
    QCOMPARE(name->text(), QString("9MeV-9.0_8.0-2.0"));
    child<QLineEdit>("Text10")->setText("12");
    QCOMPARE(name->text(), QString("12MeV-9.0_8.0-2.0"));
    QCOMPARE(text("Text9"), QString("12MeV-9.0_8.0-2.0"));
}

void Form3Test::cursorReadsOutThePointLeftOfThePointer() {
    makeForm().prepare(SetupMode::DepthDose);
    auto* picture = child<DrawingSurface>("Picture1");
    auto* line20 = picture->findChild<SurfaceLine*>("Line20");
    auto* line21 = picture->findChild<SurfaceLine*>("Line21");
    QVERIFY(line20 && line21);
    QVERIFY(!line20->isVisible() && !line21->isVisible());
    emit picture->mouseMoved(576.0, 300.0);
    QVERIFY(line20->isVisible() && line21->isVisible());
    QCOMPARE(text("Text5"), QString("0.58"));
    QCOMPARE(text("Text6"), QString::fromStdString(formatNumber(data_.SpecRelative[57], "0.000")));
    QCOMPARE(line21->x1(), 576.0);
    QCOMPARE(line21->x2(), 576.0);
    QCOMPARE(line20->y1(), 1000.0 * data_.SpecRelative[57]);
    emit picture->mouseMoved(875.0, 300.0);
    QCOMPARE(text("Text6"), QString("1.000"));
    QCOMPARE(line20->y2(), 1000.0);
    // A real pointer move over the plot arrives in plot units through the surface.
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QTest::mouseMove(picture, QPoint(2 + picture->scale().toPixelX(300), 2 + 200));
    QTRY_COMPARE(text("Text5"), QString("0.30"));
}

void Form3Test::cursorHidesAtTheEdges() {
    makeForm().prepare(SetupMode::DepthDose);
    auto* picture = child<DrawingSurface>("Picture1");
    auto* line20 = picture->findChild<SurfaceLine*>("Line20");
    for (const QPointF& p :
         {QPointF(998, 500), QPointF(500, 998), QPointF(1, 500), QPointF(500, 1), QPointF(1500, 500)}) {
        emit picture->mouseMoved(500, 500);
        QVERIFY(line20->isVisible());
        emit picture->mouseMoved(p.x(), p.y());
        QVERIFY(!line20->isVisible());
        QVERIFY(!picture->findChild<SurfaceLine*>("Line21")->isVisible());
        QVERIFY(text("Text5").isEmpty());
        QVERIFY(text("Text6").isEmpty());
    }
    // A scroll-bar change redraws the curve but leaves the cursor lines where they were.
    emit picture->mouseMoved(400, 500);
    child<QScrollBar>("VScroll1")->setValue(50);
    QVERIFY(line20->isVisible());
    QCOMPARE(picture->findChild<SurfaceLine*>("Line21")->x1(), 400.0);
}

void Form3Test::deriveTurnsTheRangeIntoTheMaximumEnergy() {
    makeForm().prepare(SetupMode::DepthDose);
    auto* derive = child<QPushButton>("Command4");
    child<QLineEdit>("Text7")->setText("4.506");  // the 9 MeV row of the table
    derive->click();
    QCOMPARE(text("Text4"), QString("9.5"));  // 1.06 x 9 = 9.54
    QCOMPARE(text("Text3"), QString("9MeV-9.5_8.0-2.0"));
    child<QLineEdit>("Text7")->setText("30");  // beyond the table
    derive->click();
    QCOMPARE(text("Text4"), QString("9.5"));
    QVERIFY(messages_.warnings.empty());
}

void Form3Test::missingRangeTableIsReportedAndTheWindowStillWorks() {
    Form3& form = makeForm(false);
    QVERIFY(!form.rangeTableLoaded());
    QCOMPARE(messages_.warnings.size(), size_t{1});
    QVERIFY(messages_.warnings[0].find("water.csda") != std::string::npos);
    form.prepare(SetupMode::DepthDose);
    child<QPushButton>("Command4")->click();
    QCOMPARE(text("Text4"), QString("9.0"));
    QCOMPARE(messages_.warnings.size(), size_t{2});
    QVERIFY(messages_.warnings[1].find("water.csda") != std::string::npos);
    child<QPushButton>("Command6")->click();  // launching still works
    QCOMPARE(launcher_.programs.size(), size_t{1});
}

void Form3Test::aReversedRangeTableCountsAsMissing() {
    // The ranges of the shipped table in reverse: Rp 4.5 cm gave 1.98 MeV instead of 9.53.
    QFile shipped(QString(ORVALIS_DATA_DIR) + "/water.csda");
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = shipped.readAll().split('\n');
    QByteArray reversed = lines[0] + "\n" + lines[1] + "\n";
    for (int row = 0; row < 33; ++row) {
        const QList<QByteArray> forward = lines[2 + row].trimmed().split(',');
        const QList<QByteArray> backward = lines[2 + 32 - row].trimmed().split(',');
        reversed += forward[0] + "," + backward[1] + "\r\n";
    }
    QFile table(work_->filePath("water.csda"));
    QVERIFY(table.open(QIODevice::WriteOnly));
    table.write(reversed);
    table.close();
    Form3& form = makeForm(false);
    QVERIFY(!form.rangeTableLoaded());
    form.prepare(SetupMode::DepthDose);
    child<QPushButton>("Command4")->click();
    QCOMPARE(text("Text4"), QString("9.0"));  // left as it was
    QCOMPARE(messages_.warnings.size(), size_t{2});
    QVERIFY(messages_.warnings[1].find("water.csda is missing") != std::string::npos);
}

void Form3Test::launchButtonsWriteTheFilesAndStartTheSimulator() {
    Form3& form = makeForm();
    form.prepare(SetupMode::DepthDose);
    child<QPushButton>("Command6")->click();
    QCOMPARE(launcher_.programs, std::vector<std::string>{"Tolvane"});
    QCOMPARE(QString::fromStdString(launcher_.folders[0].string()), work_->path());
    QFile run(work_->filePath("Nimbrola.dat"));
    QVERIFY(run.open(QIODevice::ReadOnly));
    QCOMPARE(run.readAll(), QByteArray(" 9.0\r\n10000000.\r\n9MeV-9.0_8.0-2.0.pdd\r\n9MeV-9.0_8.0-2.0.spct\r\n"));
    QFile spectrum(work_->filePath("Nimbrola.txt"));
    QVERIFY(spectrum.open(QIODevice::ReadOnly));
    const QByteArray lines = spectrum.readAll();
    QVERIFY(lines.startsWith("\x83\xBF=8.0\r\n\x83\xC0=2.0\r\n00.01 "));
    QVERIFY(lines.contains("00.50 7.965E-02\r\n"));
    QVERIFY(child<QPushButton>("Command6")->isEnabled());  // nothing in the window changes

    form.prepare(SetupMode::Kernel);
    child<QPushButton>("Command3")->click();
    QCOMPARE(launcher_.programs.back(), std::string("Brisella"));
    run.close();
    QVERIFY(run.open(QIODevice::ReadOnly));
    QCOMPARE(run.readAll(), QByteArray(" 9.0\r\n1000000.\r\n9MeV-9.0_8.0-2.0.elk\r\n"));
}

void Form3Test::launchFaultsAreReportedAndNothingStarts() {
    Form3& form = makeForm();
    form.prepare(SetupMode::DepthDose);
    launcher_.succeed = false;
    child<QPushButton>("Command6")->click();
    QCOMPARE(messages_.warnings.size(), size_t{1});
    QVERIFY(messages_.warnings[0].find("Tolvane") != std::string::npos);
    launcher_.succeed = true;
    QVERIFY(QFile::remove(work_->filePath("Nimbrola.txt")));
    QVERIFY(QDir(work_->path()).mkdir("Nimbrola.txt"));  // the spectrum file cannot be written
    child<QPushButton>("Command6")->click();
    QCOMPARE(messages_.warnings.size(), size_t{2});
    QVERIFY(messages_.warnings[1].find("Nimbrola.txt") != std::string::npos);
    QCOMPARE(launcher_.programs.size(), size_t{1});  // only the first, failed start was tried
    QVERIFY(form.isEnabled());
}

void Form3Test::mainMenuButtonsCarryTheirCommands() {
    Form5 menu;
    QCOMPARE(menu.windowTitle(), QString("Orvalis Ver.2"));
    QSignalSpy estimation(&menu, &Form5::spectrumEstimationRequested);
    QSignalSpy exitSpy(&menu, &Form5::exitRequested);
    QCOMPARE(menu.findChild<QPushButton*>("Command3")->text(), QString("Spectrum Display "));
    QCOMPARE(menu.findChild<QPushButton*>("Command4")->text(), QString("Electron Kernel"));
    menu.findChild<QPushButton*>("Command1")->click();
    QCOMPARE(estimation.count(), 1);
    menu.findChild<QPushButton*>("Command5")->click();
    menu.close();  // closing the menu ends the program as well
    QCOMPARE(exitSpy.count(), 2);
}

}  // namespace orvalis

QTEST_MAIN(orvalis::Form3Test)
#include "form3_qtest.moc"
