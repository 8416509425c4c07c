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
#include <filesystem>
#include <memory>

#include "beamdata/exchange_files.h"
#include "beamdata/number_pattern.h"
#include "setup/setup_window.h"
#include "testdoubles/recorders.h"
#include "widgets/drawing_surface.h"

namespace orvalis {

using testing::RecordingLauncher;
using testing::RecordingMessages;

class SetupWindowTest : public QObject {
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
    void launchButtonsHandTheBoxesAndTheSpectrumToTheSimulator();
    void appliedSpectrumMovesBoxAndScrollBars();

private:
    SetupWindow& makeForm(bool withTable = true);
    template <typename T>
    T* child(const char* name) {
        T* widget = form_->findChild<T*>(name);
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    QString text(const char* name) { return child<QLineEdit>(name)->text(); }

    std::unique_ptr<QTemporaryDir> work_;
    SharedSpectrum spectrum_;
    const SpectrumArray& relative() const { return spectrum_.relativeWeight(); }
    RecordingMessages messages_;
    RecordingLauncher launcher_;
    std::unique_ptr<SetupWindow> form_;
};

void SetupWindowTest::init() {
    work_ = std::make_unique<QTemporaryDir>();
    spectrum_ = SharedSpectrum{};
    messages_ = RecordingMessages{};
    launcher_ = RecordingLauncher{};
}

void SetupWindowTest::cleanup() {
    form_.reset();
    work_.reset();
}

SetupWindow& SetupWindowTest::makeForm(bool withTable) {
    if (withTable) {
        QFile::copy(QString(ORVALIS_DATA_DIR) + "/water.csda", work_->filePath("water.csda"));
    }
    form_ = std::make_unique<SetupWindow>(spectrum_, messages_, launcher_, work_->path().toStdString());
    return *form_;
}

void SetupWindowTest::loadSetsTheDefaultsAndReadsTheRangeTable() {
    SetupWindow& form = makeForm();
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
    QCOMPARE(form.rangeTable().energyMeV[0], 0.6);
    QCOMPARE(relative()[87], 0.0);  // not computed until the opener sets the scroll bars
    QCOMPARE(form.geometry().size(), QSize(870, 752));
    QCOMPARE(child<DrawingSurface>("Picture1")->geometry(), QRect(392, 248, 457, 401));
}

void SetupWindowTest::openerPreparesDepthDoseAndKernelSetUps() {
    SetupWindow& form = makeForm();
    form.prepare(SetupMode::DepthDose);
    QCOMPARE(text("Text1"), QString("8.0"));
    QCOMPARE(text("Text2"), QString("2.0"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_8.0-2.0"));
    QCOMPARE(text("Text9"), QString("9MeV-9.0_8.0-2.0"));
    QCOMPARE(text("Text8"), QString("10000000"));
    QVERIFY(child<QPushButton>("Command6")->isEnabled());
    QVERIFY(!child<QPushButton>("Command3")->isEnabled());
    QCOMPARE(relative()[87], 1.0);

    form.prepare(SetupMode::Kernel);
    QCOMPARE(text("Text8"), QString("1000000"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_8.0-2.0"));
    QVERIFY(!child<QPushButton>("Command6")->isEnabled());
    QVERIFY(child<QPushButton>("Command3")->isEnabled());
}

void SetupWindowTest::scrollBarStepChangesBoxCurveAndName() {
    SetupWindow& form = makeForm();
    form.prepare(SetupMode::DepthDose);
    auto* picture = child<DrawingSurface>("Picture1");
    // The curve at its peak (x = 0.87) is red; the same spot far from the curve is white.
    QCOMPARE(picture->bufferColorAt(870, 1000 * relative()[87]), QColor(255, 0, 0));
    const QImage before = picture->buffer();
    auto* alphaBar = child<QScrollBar>("VScroll1");
    alphaBar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // one step: 80 -> 79
    QCOMPARE(alphaBar->value(), 79);
    QCOMPARE(text("Text1"), QString("7.9"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_7.9-2.0"));
    QCOMPARE(text("Text9"), QString("9MeV-9.0_7.9-2.0"));
    QVERIFY(picture->buffer() != before);
    // The curve follows the new shape x^6.9 (1 - x), still normalised at its peak x = 0.87.
    QCOMPARE(relative()[87], 1.0);
    QVERIFY(qAbs(relative()[50] - std::pow(0.5, 6.9) * 0.5 / (std::pow(0.87, 6.9) * 0.13)) < 1e-12);
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

void SetupWindowTest::spectrumOverflowKeepsTheCurveAndTheArrays() {
    makeForm().prepare(SetupMode::DepthDose);
    auto* picture = child<DrawingSurface>("Picture1");
    const QImage curve = picture->buffer();
    const SpectrumArray before = relative();
    // A typed alpha of -1000 makes 0.01^(-1001) overflow at the next scroll-bar change.
    child<QLineEdit>("Text1")->setText("-1000");
    child<QScrollBar>("VScroll2")->setValue(21);
    QCOMPARE(text("Text2"), QString("2.1"));
    QCOMPARE(text("Text3"), QString("9MeV-9.0_-1000-2.1"));  // the name is still recomposed
    QCOMPARE(picture->buffer(), curve);
    QVERIFY(relative() == before);
    QVERIFY(messages_.warnings.empty());          // quietly
    child<QScrollBar>("VScroll1")->setValue(50);  // a usable alpha again redraws
    QVERIFY(picture->buffer() != curve);
}

void SetupWindowTest::typingIntoTheNameBoxIsUndone() {
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

void SetupWindowTest::cursorReadsOutThePointLeftOfThePointer() {
    makeForm().prepare(SetupMode::DepthDose);
    auto* picture = child<DrawingSurface>("Picture1");
    auto* line20 = picture->findChild<SurfaceLine*>("Line20");
    auto* line21 = picture->findChild<SurfaceLine*>("Line21");
    QVERIFY(line20 && line21);
    QVERIFY(!line20->isVisible() && !line21->isVisible());
    emit picture->mouseMoved(576.0, 300.0);
    QVERIFY(line20->isVisible() && line21->isVisible());
    QCOMPARE(text("Text5"), QString("0.58"));
    QCOMPARE(text("Text6"), QString::fromStdString(beamdata::formatNumber(relative()[57], "0.000")));
    QCOMPARE(line21->x1(), 576.0);
    QCOMPARE(line21->x2(), 576.0);
    QCOMPARE(line20->y1(), 1000.0 * relative()[57]);
    emit picture->mouseMoved(875.0, 300.0);
    QCOMPARE(text("Text6"), QString("1.000"));
    QCOMPARE(line20->y2(), 1000.0);
    // A real pointer move over the plot arrives in plot units through the surface.
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QTest::mouseMove(picture, QPoint(2 + picture->scale().toPixelX(300), 2 + 200));
    QTRY_COMPARE(text("Text5"), QString("0.30"));
}

void SetupWindowTest::cursorHidesAtTheEdges() {
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

void SetupWindowTest::deriveTurnsTheRangeIntoTheMaximumEnergy() {
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

void SetupWindowTest::missingRangeTableIsReportedAndTheWindowStillWorks() {
    SetupWindow& form = makeForm(false);
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

void SetupWindowTest::aReversedRangeTableCountsAsMissing() {
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
    SetupWindow& form = makeForm(false);
    QVERIFY(!form.rangeTableLoaded());
    form.prepare(SetupMode::DepthDose);
    child<QPushButton>("Command4")->click();
    QCOMPARE(text("Text4"), QString("9.0"));  // left as it was
    QCOMPARE(messages_.warnings.size(), size_t{2});
    QVERIFY(messages_.warnings[1].find("water.csda is missing") != std::string::npos);
}

// What the window hands to a launch: its boxes as they stand and the shared spectrum's weights, as
// the simulators' own reader finds them. The bytes of the files are the writer's, tested there.
void SetupWindowTest::launchButtonsHandTheBoxesAndTheSpectrumToTheSimulator() {
    SetupWindow& form = makeForm();
    form.prepare(SetupMode::DepthDose);
    child<QLineEdit>("Text4")->setText("12.25");
    child<QPushButton>("Command6")->click();
    QCOMPARE(launcher_.programs, std::vector<std::string>{"Tolvane"});
    QCOMPARE(QString::fromStdString(launcher_.folders[0].string()), work_->path());
    const std::filesystem::path folder = work_->path().toStdString();
    const engine::RunFile run = engine::readRunFile(folder / "Nimbrola.dat", engine::RunKind::DepthDose);
    QVERIFY(qAbs(run.maxEnergyMeV - 12.3f) < 1e-5f);  // the box's value, to one decimal
    QCOMPARE(run.historyCount, 1e7f);
    QCOMPARE(QString::fromStdString(run.resultFileName).trimmed(), QString("9MeV-12.25_8.0-2.0.pdd"));
    QCOMPARE(QString::fromStdString(run.fluenceFileName).trimmed(), QString("9MeV-12.25_8.0-2.0.spct"));
    const engine::Spectrum spectrum = engine::readSpectrumFile(folder / "Nimbrola.txt");
    for (std::size_t bin = 1; bin <= 100; ++bin) {
        const double expected = relative()[bin] < 0.001 ? 0.0 : relative()[bin];  // the reader's floor
        QVERIFY2(qAbs(static_cast<double>(spectrum.binWeight[bin - 1]) - expected) <= 5e-4 * expected,
                 qPrintable(QString::number(bin)));
    }
    QVERIFY(child<QPushButton>("Command6")->isEnabled());  // nothing in the window changes

    form.prepare(SetupMode::Kernel);
    child<QPushButton>("Command3")->click();
    QCOMPARE(launcher_.programs.back(), std::string("Brisella"));
    const engine::RunFile kernel = engine::readRunFile(folder / "Nimbrola.dat", engine::RunKind::Kernel);
    QCOMPARE(kernel.historyCount, 1e6f);
    QCOMPARE(QString::fromStdString(kernel.resultFileName).trimmed(), QString("9MeV-12.25_8.0-2.0.elk"));

    launcher_.succeed = false;  // a fault goes to the window's message boxes; the window stays as it is
    child<QPushButton>("Command3")->click();
    QCOMPARE(messages_.warnings.size(), size_t{1});
    QVERIFY(messages_.warnings[0].find("Brisella") != std::string::npos);
    QVERIFY(child<QPushButton>("Command3")->isEnabled());
}

void SetupWindowTest::appliedSpectrumMovesBoxAndScrollBars() {
    SetupWindow& form = makeForm();
    form.prepare(SetupMode::DepthDose);
    const QImage before = child<DrawingSurface>("Picture1")->buffer();
    form.applySpectrum(6.04, 1.46, 9.44);
    QCOMPARE(form.maxEnergyMeV(), 9.4);
    QCOMPARE(child<QScrollBar>("VScroll1")->value(), 60);
    QCOMPARE(child<QScrollBar>("VScroll2")->value(), 15);
    QCOMPARE(text("Text3"), QString("9MeV-9.4_6.0-1.5"));  // the name follows, as after a user's move
    QVERIFY(child<DrawingSurface>("Picture1")->buffer() != before);
    form.applySpectrum(0.01, 25.0, 12.25);  // beyond the bars: their ends
    QCOMPARE(text("Text4"), QString("12.3"));
    QCOMPARE(text("Text1"), QString("0.1"));
    QCOMPARE(text("Text2"), QString("20.0"));
}

}  // namespace orvalis

QTEST_MAIN(orvalis::SetupWindowTest)
#include "setup_window_qtest.moc"
