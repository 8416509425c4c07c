#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "testdoubles/recorders.h"
#include "viewers/comparison_window.h"
#include "viewers/spectrum_fit_panel.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"

using namespace orvalis;

class SpectrumFitPanelTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    testing::RecordingMessages messages_;
    ComparisonWindow* window_ = nullptr;
    SpectrumFitPanel* panel_ = nullptr;
    std::optional<viewers::FittedSpectrum> applied_;

    QPushButton* button(QObject* owner, const char* name) { return owner->findChild<QPushButton*>(name); }
    QString resultText() const { return panel_->findChild<QLabel*>("FitResult")->text(); }
    QByteArray arguments() const {
        QFile file(dir_.filePath("fake-args.txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        panel_ = new SpectrumFitPanel(
            *window_, QStringLiteral(FAKE_FIT_PROGRAM), dir_.path(), [] { return std::optional<double>(9.0); },
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
        // The fitted curve falls straight from 100 % at 25 mm to 0 at 75 mm: along it, dashes of the
        // third colour with gaps between them.
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
        QVERIFY2(green > 100 && gaps > 15, qPrintable(QString("%1 %2").arg(green).arg(gaps)));
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
        panel_ = new SpectrumFitPanel(*window_, dir_.filePath("no-such-program"), dir_.path(), {}, {});
        loadMeasured();
        QVERIFY(!runFit(button(window_, "FitSpectrum")));
        QVERIFY2(resultText().startsWith("orvalis-fit could not be started"), qPrintable(resultText()));
    }
};

QTEST_MAIN(SpectrumFitPanelTest)
#include "spectrum_fit_panel_qtest.moc"
