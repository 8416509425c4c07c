#pragma once
// The free-form result in the fit window: the fitted spectrum drawn as relative weight over
// energy, its 95 % band shaded around it when the fit gives one, and the two buttons that run it,
// "PDD Calculation of this spectrum" (Tolvane) and "Kernel Calculation of this spectrum" (Brisella).
// A button writes the exchange files of the spectrum the fit handed over for the simulators with the
// set-up window's writer, then starts the simulator through the program launcher as the set-up
// window does; files that cannot be written are reported through the message boxes and nothing is
// started.
#include <QString>
#include <QWidget>

#include <optional>

#include "beamdata/exchange_files.h"
#include "common/message_sink.h"
#include "common/program_launcher.h"
#include "viewers/free_fit_run.h"

class QLabel;
class QPushButton;

namespace orvalis {

class DrawingSurface;

class FreeSpectrumView : public QWidget {
    Q_OBJECT
public:
    // workFolder: where the exchange files are written and the simulators run.
    FreeSpectrumView(MessageSink& messages, ProgramLauncher& launcher, QString workFolder, QWidget* parent = nullptr);

    // Draws the spectrum of `fit` and offers its two runs; `request` is the fit that gave it.
    void showResult(const viewers::FreeFitView& fit, const viewers::FitRequest& request);
    // No result: the chart emptied, the buttons off.
    void clearResult();

    DrawingSurface* chart() const { return chart_; }

signals:
    // The exchange files of the spectrum were written and the simulator of `kind` was started.
    void simulatorStarted(beamdata::CalculationKind kind);
    // A run of the spectrum ended without a simulator (reported through the message boxes).
    void runFailed();

private:
    void drawFrame(double energyMaxMeV);
    void drawSpectrum(const viewers::FreeFitView& fit);
    void run(beamdata::CalculationKind kind);
    void enableRuns(bool enabled);

    MessageSink& messages_;
    ProgramLauncher& launcher_;
    QString workFolder_;
    std::optional<viewers::FreeFitView> fit_;
    std::optional<viewers::FitRequest> request_;

    DrawingSurface* chart_ = nullptr;
    QPushButton* depthDoseRunButton_ = nullptr;
    QPushButton* kernelRunButton_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace orvalis
