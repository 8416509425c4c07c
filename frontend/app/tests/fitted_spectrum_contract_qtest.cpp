// A fitted Beta spectrum from the fit to the simulator: the RESULT lines as orvalis-fit writes them,
// parsed as the fit window parses them, set in the set-up window as its "Set alpha, beta and Emax"
// button does through the application, launched with "PDD Calculation", and read back by the
// simulators' own reader of the exchange files. What the simulator then runs must be the spectrum
// that the fit modelled.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <sstream>

#include "app/orvalis_app.h"
#include "engine/run_frame.h"
#include "fit/beta_weights.h"
#include "fit/fit_report.h"
#include "setup/setup_window.h"
#include "testdoubles/recorders.h"
#include "viewers/spectrum_fit_run.h"

namespace orvalis {

class FittedSpectrumContract : public QObject {
    Q_OBJECT

private slots:
    void fittedParametersReachTheSimulatorsInput();
};

namespace {

fit::FitPoint point(double alpha, double beta, double maxEnergyMeV) {
    fit::FitPoint p;
    p.alpha = alpha;
    p.beta = beta;
    p.maxEnergyMeV = maxEnergyMeV;
    p.rmsPercent = 0.48;
    p.levels = {23.7, 25.8, 30.5, 36.6};
    return p;
}

}  // namespace

void FittedSpectrumContract::fittedParametersReachTheSimulatorsInput() {
    fit::FitResult result;
    result.onGrid = point(6.3, 1.7, 9.4);
    result.continuous = point(6.27, 1.72, 9.41);
    result.measured = {23.68, 25.75, 30.53, 36.82};
    std::optional<viewers::FittedSpectrum> fitted;
    std::istringstream lines(fit::resultLines(result));
    for (std::string line; std::getline(lines, line);)
        if (const auto parsed = viewers::parseFitResult(line)) fitted = parsed;
    QVERIFY(fitted.has_value());

    QTemporaryDir work;
    QVERIFY(QFile::copy(QString(ORVALIS_DATA_DIR) + "/water.csda", work.filePath("water.csda")));
    testing::RecordingMessages messages;
    testing::RecordingLauncher launcher;
    OrvalisApp app(messages, launcher, work.path().toStdString(), [] {});
    app.start();
    app.openDepthDoseSetup();
    SetupWindow& setup = app.setupWindow();
    setup.applySpectrum(fitted->alpha, fitted->beta, fitted->maxEnergyMeV);
    setup.findChild<QPushButton*>("Command6")->click();
    QCOMPARE(launcher.programs, std::vector<std::string>{"Tolvane"});
    QVERIFY(messages.warnings.empty());

    const std::filesystem::path folder = work.path().toStdString();
    const engine::RunFile run = engine::readRunFile(folder / "Nimbrola.dat", engine::RunKind::DepthDose);
    QCOMPARE(run.maxEnergyMeV, 9.4f);
    QCOMPARE(QString::fromStdString(run.resultFileName).trimmed(), QString("9MeV-9.4_6.3-1.7.pdd"));
    engine::Spectrum launched = engine::readSpectrumFile(folder / "Nimbrola.txt");
    QCOMPARE(QByteArray::fromStdString(launched.titleLine1).trimmed(), QByteArray("\x83\xBF=6.3"));
    QCOMPARE(QByteArray::fromStdString(launched.titleLine2).trimmed(), QByteArray("\x83\xC0=1.7"));
    engine::normaliseSpectrum(launched, run.maxEnergyMeV);
    const std::optional<engine::Spectrum> modelled = fit::simulatorSpectrum(6.3, 1.7, 9.4f);
    QVERIFY(modelled.has_value());
    for (std::size_t bin = 0; bin < launched.binWeight.size(); ++bin) {
        QCOMPARE(launched.binWeight[bin], modelled->binWeight[bin]);
        QCOMPARE(launched.binEnergyKeV[bin], modelled->binEnergyKeV[bin]);
    }
}

}  // namespace orvalis

QTEST_MAIN(orvalis::FittedSpectrumContract)
#include "fitted_spectrum_contract_qtest.moc"
