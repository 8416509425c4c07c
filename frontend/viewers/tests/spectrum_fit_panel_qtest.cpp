#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "testdoubles/recorders.h"
#include "viewers/comparison_window.h"
#include "viewers/free_spectrum_view.h"
#include "viewers/spectrum_fit_panel.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"

using namespace orvalis;

class SpectrumFitPanelTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    testing::RecordingMessages messages_;
    testing::RecordingLauncher launcher_;
    ComparisonWindow* window_ = nullptr;
    SpectrumFitPanel* panel_ = nullptr;
    std::optional<viewers::FittedSpectrum> applied_;

    QPushButton* button(QObject* owner, const char* name) { return owner->findChild<QPushButton*>(name); }
    QString resultText() const { return panel_->findChild<QLabel*>("FitResult")->text(); }
    QByteArray arguments(const char* fileName = "fake-args.txt") const {
        QFile file(dir_.filePath(fileName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    SpectrumFitPanel::Context context(const QString& program = QStringLiteral(FAKE_FIT_PROGRAM)) {
        return {messages_, launcher_, program, dir_.path()};
    }
    // Dashes of the fitted curve along the straight fall of the fake's curve (100 % at 25 mm to 0 at
    // 75 mm): how many samples hit the third colour and how many fell in gaps.
    std::pair<int, int> fittedDashes() const {
        const DrawingSurface* plot = window_->plot();
        int green = 0;
        int gaps = 0;
        for (double x = 3000; x <= 6000; x += 10) {
            const double y = 20.0 * (75.0 - x / 100.0);
            bool found = false;
            for (double dy = -8; dy <= 8 && !found; dy += 1)
                found = plot->bufferColorAt(x, y + dy) == SpectrumFitPanel::FITTED_CURVE_COLOR;
            (found ? green : gaps) += 1;
        }
        return {green, gaps};
    }
    void loadMeasured() {
        QVERIFY(window_->findChild<FileListBox*>("File1")->selectFile("water.csv"));
        QTest::mouseClick(button(window_, "Command4"), Qt::LeftButton);
    }
    bool runFit(QPushButton* trigger) {
        QSignalSpy finished(panel_, &SpectrumFitPanel::fitFinished);
        QTest::mouseClick(trigger, Qt::LeftButton);
        if (!finished.wait(20000)) return false;
        return finished.first().first().toBool();
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QFile measured(dir_.filePath("water.csv"));
        QVERIFY(measured.open(QIODevice::WriteOnly));
        measured.write("depth,dose\r\n");
        for (int d = 0; d <= 100; ++d)
            measured.write(QByteArray::number(d) + "," + QByteArray::number(d < 40 ? 100 : std::max(0, 300 - 5 * d)) +
                           "\r\n");
        measured.close();
        window_ = new ComparisonWindow({messages_, dir_.path()});
        window_->resetFromMainMenu();
        applied_.reset();
        launcher_ = testing::RecordingLauncher{};
        messages_ = testing::RecordingMessages{};
        panel_ = new SpectrumFitPanel(
            *window_, context(), [] { return std::optional<double>(9.0); },
            [this](const viewers::FittedSpectrum& s) { applied_ = s; });
        qunsetenv("FAKE_FIT");
    }
    void cleanup() {
        delete panel_;
        delete window_;
    }

    // The button sits in the free corner left of "Graph clear", clear of every specified control,
    // and is enabled by a successful measured load only.
    void buttonPlacedClearAndEnabledByAMeasuredLoad() {
        QPushButton* fit = button(window_, "FitSpectrum");
        QVERIFY(fit);
        QVERIFY(!fit->isEnabled());
        for (QWidget* other : window_->findChildren<QWidget*>())
            if (other != fit && other->parent() == window_ && !other->objectName().isEmpty())
                QVERIFY2(!fit->geometry().intersects(other->geometry()), qPrintable(other->objectName()));
        loadMeasured();
        QVERIFY(fit->isEnabled());
        QCOMPARE(panel_->findChild<QLineEdit*>("FitEmax")->text(), QStringLiteral("9.0"));
    }

    void fitDrawsTheDashedCurveShowsAndAppliesTheResult() {
        loadMeasured();
        QVERIFY(runFit(button(window_, "FitSpectrum")));
        QCOMPARE(panel_->findChild<QProgressBar*>("FitProgress")->value(), 100);
        QVERIFY(resultText().startsWith("alpha 8.2   beta 2.1   Emax 9.4 MeV   rms 0.51 %"));
        QVERIFY(resultText().contains("R50: measured 50.25 mm, fitted 50.00 mm"));
        QVERIFY(resultText().endsWith("a wider --span may fit better."));
        const QByteArray args = arguments();
        QVERIFY(args.contains("water.csv\n--rp\nmeasured\n--out\n"));
        QVERIFY(args.contains("fit-water.pdd"));
        // Along the fitted curve, dashes of the third colour with gaps between them.
        const auto [green, gaps] = fittedDashes();
        QVERIFY2(green > 100 && gaps > 15, qPrintable(QString("%1 %2").arg(green).arg(gaps)));
        QVERIFY(!panel_->freeSpectrum()->isVisibleTo(panel_));  // the free-form part stays hidden
        QTest::mouseClick(button(panel_, "FitApply"), Qt::LeftButton);
        QVERIFY(applied_.has_value());
        QCOMPARE(applied_->alpha, 8.2);
        QCOMPARE(applied_->maxEnergyMeV, 9.4);
    }

    void typedFixedEnergyIsPassedOn() {
        loadMeasured();
        panel_->findChild<QCheckBox*>("FitFromRp")->setChecked(false);
        panel_->findChild<QLineEdit*>("FitEmax")->setText("12.34");
        panel_->findChild<QCheckBox*>("FitFixed")->setChecked(true);
        QVERIFY(runFit(button(window_, "FitSpectrum")));
        QVERIFY(arguments().contains("--emax\n12.3\n--fixed-emax\n"));
        panel_->findChild<QCheckBox*>("FitFixed")->setChecked(false);
        panel_->findChild<QLineEdit*>("FitSpan")->setText("20");
        QVERIFY(runFit(button(panel_, "FitStart")));
        QVERIFY(arguments().contains("--emax\n12.3\n--span\n20.0\n--out\n"));
        panel_->findChild<QLineEdit*>("FitSpan")->setText("50");
        QTest::mouseClick(button(panel_, "FitStart"), Qt::LeftButton);
        QVERIFY(!panel_->isRunning());
        QVERIFY(resultText().startsWith("The span of the maximum energy must lie between"));
    }

    void failureAndCancelLeaveNoResult() {
        loadMeasured();
        qputenv("FAKE_FIT", "fail");
        QVERIFY(!runFit(button(window_, "FitSpectrum")));
        QVERIFY(resultText().contains("line 3: expected a number"));
        QVERIFY(!button(panel_, "FitApply")->isEnabled());

        qputenv("FAKE_FIT", "hang");
        QSignalSpy finished(panel_, &SpectrumFitPanel::fitFinished);
        QTest::mouseClick(button(panel_, "FitStart"), Qt::LeftButton);
        QTRY_COMPARE(panel_->findChild<QProgressBar*>("FitProgress")->value(), 45);  // "PROGRESS basis 56 112"
        QVERIFY(button(panel_, "FitCancel")->isEnabled());
        QTest::mouseClick(button(panel_, "FitCancel"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(resultText(), QStringLiteral("Cancelled."));
        QVERIFY(!panel_->result().has_value());
    }

    void aMissingProgramIsReported() {
        delete panel_;
        panel_ = new SpectrumFitPanel(*window_, context(dir_.filePath("no-such-program")), {}, {});
        loadMeasured();
        QVERIFY(!runFit(button(window_, "FitSpectrum")));
        QVERIFY2(resultText().startsWith("orvalis-fit could not be started"), qPrintable(resultText()));
    }

    void freeFormFitShowsItsFiguresSpectrumAndCurve() {
        loadMeasured();
        panel_->findChild<QRadioButton*>("FitModelFree")->setChecked(true);
        QVERIFY(!panel_->findChild<QLineEdit*>("FitSpan")->isEnabled());  // the bins keep their Emax
        QVERIFY(!panel_->findChild<QCheckBox*>("FitFixed")->isEnabled());
        QVERIFY(runFit(button(window_, "FitSpectrum")));
        QVERIFY2(arguments().contains("water.csv\n--model\nfree\n--rp\nmeasured\n--out\n"), arguments().constData());
        QCOMPARE(panel_->findChild<QProgressBar*>("FitProgress")->value(), 100);
        QVERIFY2(resultText().startsWith("Free-form   rms 0.41 %   Emax 11.2 MeV   smoothing 3.16e-04\n"
                                         "mean 8.73 MeV   peak 8.96 MeV   background 1.85 % at Rp\n"),
                 qPrintable(resultText()));
        QVERIFY(resultText().contains("R90: measured 26.31 mm, free 26.40 mm, window 26.45 mm"));
        QVERIFY(resultText().contains("R10: measured 38.90 mm, free - mm, window 39.01 mm"));
        // The interval beside the model's R80.
        QVERIFY2(resultText().contains("R80: measured 28.00 mm, free 28.01 mm (95 %: 27.90 to 28.15), window 28.10 mm"),
                 qPrintable(resultText()));
        QVERIFY(!panel_->result().has_value());
        QVERIFY(panel_->freeResult().has_value());
        QVERIFY(!button(panel_, "FitApply")->isVisibleTo(panel_));
        // The model curve dashed on the comparison plot, the spectrum in the fit window: its peak
        // (bin 80, 8.96 MeV) at the top of the chart, nothing drawn at 3 MeV above the axis.
        const auto [green, gaps] = fittedDashes();
        QVERIFY(green > 100 && gaps > 15);
        FreeSpectrumView* view = panel_->freeSpectrum();
        QVERIFY(view->isVisibleTo(panel_));
        QCOMPARE(view->chart()->bufferColorAt(8.96, 1.0), QColor(255, 0, 0));
        QVERIFY(view->chart()->bufferColorAt(3.0, 0.5) != QColor(255, 0, 0));
        // The band shaded around the spectrum: 0.1 above and below the peak's line (bin 80) and beside
        // the rising flank, but not above the band (0.2 high where the spectrum is empty).
        const QColor band(255, 190, 190);
        QCOMPARE(view->chart()->bufferColorAt(8.96, 0.9), band);
        QCOMPARE(view->chart()->bufferColorAt(7.28, 0.5), band);  // bin 65: weight 0.63, band 0.43 to 0.83
        QVERIFY(view->chart()->bufferColorAt(7.28, 0.95) != band);
        QVERIFY(view->chart()->bufferColorAt(3.0, 0.3) != band);
        QVERIFY(button(view, "FreeRunPdd")->isEnabled());
        QVERIFY(button(view, "FreeRunKernel")->isEnabled());
        QVERIFY(launcher_.programs.empty());  // nothing runs before a button is pressed
    }

    void freeFormSpectrumRunsInTheSimulators() {
        loadMeasured();
        panel_->findChild<QRadioButton*>("FitModelFree")->setChecked(true);
        QVERIFY(runFit(button(window_, "FitSpectrum")));
        FreeSpectrumView* view = panel_->freeSpectrum();
        QSignalSpy started(view, &FreeSpectrumView::simulatorStarted);
        QTest::mouseClick(button(view, "FreeRunPdd"), Qt::LeftButton);
        QVERIFY(started.wait(10000));
        QCOMPARE(launcher_.programs, std::vector<std::string>{"Tolvane"});
        QCOMPARE(QString::fromStdString(launcher_.folders[0].string()), dir_.path());
        // The same fit again, writing the exchange files instead of a curve.
        QVERIFY(
            arguments("fake-exchange-args.txt").endsWith("/water.csv\n--model\nfree\n--rp\nmeasured\n--exchange\n"));
        const QString status = view->findChild<QLabel*>("FreeRunStatus")->text();
        QVERIFY2(status.contains("water-free.pdd") && status.contains("water-free.spct"), qPrintable(status));

        QTest::mouseClick(button(view, "FreeRunKernel"), Qt::LeftButton);
        QVERIFY(started.wait(10000));
        QCOMPARE(launcher_.programs.back(), std::string("Brisella"));
        QVERIFY(arguments("fake-exchange-args.txt").endsWith("--kernel-exchange\n"));
        QVERIFY(view->findChild<QLabel*>("FreeRunStatus")->text().contains("water-free.elk"));
        QVERIFY(messages_.warnings.empty());
    }

    void freeFormRunFailuresAreReportedAndNothingStarts() {
        loadMeasured();
        panel_->findChild<QRadioButton*>("FitModelFree")->setChecked(true);
        QVERIFY(runFit(button(window_, "FitSpectrum")));
        FreeSpectrumView* view = panel_->freeSpectrum();
        QSignalSpy failed(view, &FreeSpectrumView::runFailed);
        qputenv("FAKE_FIT", "exchange-fail");
        QTest::mouseClick(button(view, "FreeRunPdd"), Qt::LeftButton);
        QVERIFY(failed.wait(10000));
        QVERIFY(launcher_.programs.empty());
        QCOMPARE(messages_.warnings.size(), std::size_t{1});
        QVERIFY2(messages_.warnings[0].find("m.csv, line 3: expected a number") != std::string::npos,
                 messages_.warnings[0].c_str());
        QVERIFY(button(view, "FreeRunPdd")->isEnabled());  // it may be tried again

        qunsetenv("FAKE_FIT");
        launcher_.succeed = false;  // the launcher's own message, as from the set-up window
        QTest::mouseClick(button(view, "FreeRunPdd"), Qt::LeftButton);
        QVERIFY(failed.wait(10000));
        QCOMPARE(messages_.warnings.back(), std::string(" Cannot find the program Tolvane"));
    }
};

QTEST_MAIN(SpectrumFitPanelTest)
#include "spectrum_fit_panel_qtest.moc"
