#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "testdoubles/latin1_folder.h"
#include "testdoubles/recorders.h"
#include "viewers/comparison_window.h"
#include "viewers/free_spectrum_view.h"
#include "viewers/plot_legend.h"
#include "viewers/spectrum_fit_panel.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"
#include "widgets/native_path.h"

#include <filesystem>
#include <fstream>

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
    // As a user does: "Fit spectrum" opens the fit window, "Start fit" there starts the chosen model.
    bool openAndRunFit(bool freeForm = false) {
        QTest::mouseClick(button(window_, "FitSpectrum"), Qt::LeftButton);
        if (!panel_->isVisible() || panel_->isRunning()) return false;
        if (freeForm) panel_->findChild<QRadioButton*>("FitModelFree")->setChecked(true);
        return runFit(button(panel_, "FitStart"));
    }
    int fitProcessesStarted() const {
        QFile runs(dir_.filePath("fake-runs.txt"));
        return runs.open(QIODevice::ReadOnly) ? static_cast<int>(runs.readAll().count('\n')) : 0;
    }
    QByteArray workFile(const char* name) const {
        QFile file(dir_.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QLineEdit* maxEnergyBox() const { return panel_->findChild<QLineEdit*>("FitEmax"); }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        for (const char* name : {"fake-args.txt", "fake-runs.txt", "Nimbrola.dat", "Nimbrola.txt"})
            QFile::remove(dir_.filePath(name));
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

    // "Fit spectrum" only opens the fit window: the model is chosen there, and "Start fit" starts it.
    void fitSpectrumOpensTheWindowAndStartFitStartsTheChosenModel() {
        loadMeasured();
        QTest::mouseClick(button(window_, "FitSpectrum"), Qt::LeftButton);
        QVERIFY(panel_->isVisible());
        QVERIFY(!panel_->isRunning());
        QTest::qWait(200);  // a process started by the click would have written its arguments by now
        QCOMPARE(fitProcessesStarted(), 0);
        QVERIFY(button(panel_, "FitStart")->isEnabled());
        panel_->findChild<QRadioButton*>("FitModelFree")->setChecked(true);
        QVERIFY(runFit(button(panel_, "FitStart")));
        QCOMPARE(fitProcessesStarted(), 1);
        QVERIFY2(arguments().contains("water.csv\n--model\nfree\n"), arguments().constData());
    }

    void fitDrawsTheDashedCurveShowsAndAppliesTheResult() {
        loadMeasured();
        QVERIFY(openAndRunFit());
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
        // The legend names the measured file and the fitted curve's file.
        PlotLegend* legend = window_->legend();
        QCOMPARE(legend->rowCount(), 2);
        QCOMPARE(legend->nameLabel(0)->text(), QStringLiteral("water.csv"));
        QCOMPARE(legend->nameLabel(1)->accessibleName(), QStringLiteral("fitted curve, green, dashed: fit-water.pdd"));
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
        QVERIFY(openAndRunFit());
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
        QVERIFY(!openAndRunFit());
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
        QVERIFY(!openAndRunFit());
        QVERIFY2(resultText().startsWith("orvalis-fit could not be started"), qPrintable(resultText()));
    }

    void freeFormFitShowsItsFiguresSpectrumAndCurve() {
        loadMeasured();
        panel_->findChild<QRadioButton*>("FitModelFree")->setChecked(true);
        QVERIFY(!panel_->findChild<QLineEdit*>("FitSpan")->isEnabled());  // the bins keep their Emax
        QVERIFY(!panel_->findChild<QCheckBox*>("FitFixed")->isEnabled());
        QVERIFY(openAndRunFit());
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

    // In Free-form the greyed box shows the maximum energy the fit took from Rp, once it is known;
    // the Beta model's box keeps the set-up window's value.
    void freeFormEmaxBoxShowsTheEnergyTheFitUsed() {
        loadMeasured();
        QCOMPARE(maxEnergyBox()->text(), QStringLiteral("9.0"));
        panel_->findChild<QRadioButton*>("FitModelFree")->setChecked(true);
        QVERIFY(!maxEnergyBox()->isEnabled());
        QVERIFY(maxEnergyBox()->text().isEmpty());  // not known before the fit
        QVERIFY(openAndRunFit(true));
        QCOMPARE(maxEnergyBox()->text(), QStringLiteral("11.2"));
        QVERIFY(!maxEnergyBox()->isEnabled());
        panel_->findChild<QRadioButton*>("FitModelBeta")->setChecked(true);
        QCOMPARE(maxEnergyBox()->text(), QStringLiteral("9.0"));
        panel_->findChild<QRadioButton*>("FitModelFree")->setChecked(true);
        QCOMPARE(maxEnergyBox()->text(), QStringLiteral("11.2"));
        // Unticked, the box is the user's again, and a typed value is what the fit is given.
        panel_->findChild<QCheckBox*>("FitFromRp")->setChecked(false);
        QVERIFY(maxEnergyBox()->isEnabled());
        QCOMPARE(maxEnergyBox()->text(), QStringLiteral("9.0"));
        maxEnergyBox()->selectAll();
        QTest::keyClicks(maxEnergyBox(), QStringLiteral("12.3"));
        QVERIFY(runFit(button(panel_, "FitStart")));
        QVERIFY2(arguments().contains("--emax\n12.3\n"), arguments().constData());
    }

    // A fit without a background says why, as the command line does, instead of a bare 0 %.
    void missingBackgroundComesWithItsReason() {
        loadMeasured();
        qputenv("FAKE_FIT", "no-background");
        QVERIFY(openAndRunFit(true));
        QVERIFY2(resultText().contains("background none\nNo background: the dose beyond the practical range falls "
                                       "by 4.2 % per mm, faster than photons"),
                 qPrintable(resultText()));
        QVERIFY(!resultText().contains("% at Rp"));
    }

    // The run buttons write the exchange files of the spectrum the fit handed over for the
    // simulators, with no second orvalis-fit, and start the simulator through the launcher.
    void freeFormSpectrumRunsInTheSimulators() {
        loadMeasured();
        QVERIFY(openAndRunFit(true));
        FreeSpectrumView* view = panel_->freeSpectrum();
        QSignalSpy started(view, &FreeSpectrumView::simulatorStarted);
        QTest::mouseClick(button(view, "FreeRunPdd"), Qt::LeftButton);
        QCOMPARE(started.size(), 1);
        QCOMPARE(launcher_.programs, std::vector<std::string>{"Tolvane"});
        QCOMPARE(QString::fromStdString(launcher_.folders[0].string()), dir_.path());
        QCOMPARE(fitProcessesStarted(), 1);
        QCOMPARE(workFile("Nimbrola.dat"), QByteArray(" 11.2\r\n10000000.\r\nwater-free.pdd\r\nwater-free.spct\r\n"));
        const QByteArray spectrum = workFile("Nimbrola.txt");
        QVERIFY(spectrum.startsWith("free-form fit\r\nbackground 1.9 % left out\r\n"));
        // The refitted spectrum (peak at bin 78, nothing beyond 84), not the one drawn (peak at bin 80).
        QVERIFY(spectrum.contains("\r\n00.78 1.000E+00\r\n"));
        QVERIFY(spectrum.contains("\r\n00.85 0.000E+00\r\n"));
        QVERIFY(!spectrum.contains("\r\n00.80 1.000E+00\r\n"));
        const QString status = view->findChild<QLabel*>("FreeRunStatus")->text();
        QVERIFY2(status.contains("water-free.pdd") && status.contains("water-free.spct"), qPrintable(status));

        QTest::mouseClick(button(view, "FreeRunKernel"), Qt::LeftButton);
        QCOMPARE(started.size(), 2);
        QCOMPARE(launcher_.programs.back(), std::string("Brisella"));
        QCOMPARE(workFile("Nimbrola.dat"), QByteArray(" 11.2\r\n1000000.\r\nwater-free.elk\r\n"));
        QVERIFY(view->findChild<QLabel*>("FreeRunStatus")->text().contains("water-free.elk"));
        QCOMPARE(fitProcessesStarted(), 1);
        QVERIFY(messages_.warnings.empty());

        // Without a background the run's spectrum is the one drawn, and its title says so.
        qputenv("FAKE_FIT", "no-background");
        QVERIFY(runFit(button(panel_, "FitStart")));
        QTest::mouseClick(button(view, "FreeRunPdd"), Qt::LeftButton);
        QCOMPARE(started.size(), 3);
        QVERIFY(workFile("Nimbrola.txt").startsWith("free-form fit\r\nno background\r\n"));
        QVERIFY(workFile("Nimbrola.txt").contains("\r\n00.80 1.000E+00\r\n"));
    }

    void freeFormRunFailuresAreReportedAndNothingStarts() {
        loadMeasured();
        QVERIFY(openAndRunFit(true));
        FreeSpectrumView* view = panel_->freeSpectrum();
        QSignalSpy failed(view, &FreeSpectrumView::runFailed);
        // A folder in the way of the run file: nothing can be written.
        QVERIFY(QDir(dir_.path()).mkpath("Nimbrola.dat/kept"));
        QTest::mouseClick(button(view, "FreeRunPdd"), Qt::LeftButton);
        QCOMPARE(failed.size(), 1);
        QVERIFY(launcher_.programs.empty());
        QCOMPARE(messages_.warnings.size(), std::size_t{1});
        QVERIFY2(messages_.warnings[0].find("Nimbrola.dat") != std::string::npos &&
                     messages_.warnings[0].find("Nothing was started.") != std::string::npos,
                 messages_.warnings[0].c_str());
        QVERIFY(!QFile::exists(dir_.filePath("Nimbrola.txt")));
        QVERIFY(button(view, "FreeRunPdd")->isEnabled());  // it may be tried again
        QVERIFY(QDir(dir_.filePath("Nimbrola.dat")).removeRecursively());

        launcher_.succeed = false;  // the launcher's own message, as from the set-up window
        QTest::mouseClick(button(view, "FreeRunPdd"), Qt::LeftButton);
        QCOMPARE(failed.size(), 2);
        QCOMPARE(messages_.warnings.back(), std::string(" Cannot find the program Tolvane"));
    }

    // A work folder and a measured file named in Latin-1: listed, loaded, and fitted, the fit
    // program getting the path byte for byte and writing its curve where the window reads it.
    void aLatin1FolderAndFileAreFittedEndToEnd() {
#ifdef Q_OS_WIN
        QSKIP("Windows names are UTF-16");
#else
        namespace fs = std::filesystem;
        const testing::Latin1Folder latin1(nativePath(dir_.path()));
        const fs::path& folder = latin1.path();
        fs::copy_file(nativePath(dir_.filePath("water.csv")), folder / "W\xe4sser.csv");
        ComparisonWindow window({messages_, pathText(folder)});
        window.resetFromMainMenu();
        SpectrumFitPanel panel(
            window, {messages_, launcher_, QStringLiteral(FAKE_FIT_PROGRAM), pathText(folder)},
            [] { return std::optional<double>(9.0); }, [](const viewers::FittedSpectrum&) {});
        auto* files = window.findChild<FileListBox*>("File1");
        QCOMPARE(files->count(), 1);
        QVERIFY(files->selectFile(files->item(0)->text()));
        QTest::mouseClick(window.findChild<QPushButton*>("Command4"), Qt::LeftButton);
        QVERIFY(messages_.warnings.empty());
        QSignalSpy finished(&panel, &SpectrumFitPanel::fitFinished);
        QTest::mouseClick(window.findChild<QPushButton*>("FitSpectrum"), Qt::LeftButton);
        QTest::mouseClick(panel.findChild<QPushButton*>("FitStart"), Qt::LeftButton);
        QVERIFY(finished.wait(20000));
        QVERIFY(finished.first().first().toBool());
        std::ifstream recorded(folder / "fake-args.txt", std::ios::binary);
        const std::string args{std::istreambuf_iterator<char>(recorded), {}};
        QVERIFY(args.starts_with((folder / "W\xe4sser.csv").native() + "\n"));
        QVERIFY(args.find("--out\n" + (folder / "fit-W\xe4sser.pdd").native() + "\n") != std::string::npos);
        QVERIFY(fs::is_regular_file(folder / "fit-W\xe4sser.pdd"));
#endif
    }
};

QTEST_MAIN(SpectrumFitPanelTest)
#include "spectrum_fit_panel_qtest.moc"
