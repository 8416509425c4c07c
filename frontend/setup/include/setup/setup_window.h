#pragma once
// The calculation set-up window "New Calculation": the Beta spectrum with its two scroll bars
// and live plot, the maximum energy (typed or derived from the practical range), the history
// count, the composed result name and the two launch buttons. The logic lives in orvalis_common;
// this window only wires controls to it.
#include <QWidget>

#include <filesystem>

#include "beamdata/exchange_files.h"
#include "beamdata/range_energy.h"
#include "common/message_sink.h"
#include "common/program_launcher.h"
#include "common/shared_spectrum.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace orvalis {

using beamdata::CalculationKind;

class DrawingSurface;
class SurfaceLine;

// The two ways the window is opened: from the main menu for a depth dose, or from the kernel
// viewer for a kernel.
enum class SetupMode { DepthDose, Kernel };

class SetupWindow : public QWidget {
    Q_OBJECT
public:
    // Runs the window's load: default texts, then the range table water.csda from workFolder.
    // A table that cannot be read is reported; the window works without it. The Beta curve is
    // kept in `spectrum`, which the spectrum display shares.
    SetupWindow(SharedSpectrum& spectrum, MessageSink& messages, ProgramLauncher& launcher,
                std::filesystem::path workFolder, QWidget* parent = nullptr);

    // The opener's steps before showing: alpha 8.0 and beta 2.0 through the scroll bars, cursor
    // hidden, read-outs emptied, history count and the enabled launch button for the mode.
    void prepare(SetupMode mode);

    // The maximum energy as its box reads (MeV; 0 for text that is no number).
    double maxEnergyMeV() const;
    // A spectrum chosen elsewhere (the fit): the maximum energy into its box ("#0.0"), then alpha
    // and beta through the scroll bars, to the nearest 0.1, so that the curve and the name follow
    // as after a user's move.
    void applySpectrum(double alpha, double beta, double maxEnergyMeV);

    bool rangeTableLoaded() const { return rangeTableLoaded_; }
    const beamdata::RangeEnergyTable& rangeTable() const { return rangeTable_; }

signals:
    void backRequested();

protected:
    // The title bar's close button acts like the back button.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildEnergyInputs();
    void buildShapeInputs();
    void buildRunInputs();
    void buildPlot();
    void buildStaticTexts();
    void loadDefaults();
    void loadRangeTable();

    void scrollBarChanged(const QScrollBar* bar, QLineEdit* box);
    void updateSpectrum();
    void drawCurve();
    void composeFileName();
    void deriveMaxEnergy();
    void launch(CalculationKind kind);
    void showCursor(double x, double y);

    SharedSpectrum& spectrum_;
    MessageSink& messages_;
    ProgramLauncher& launcher_;
    std::filesystem::path workFolder_;
    beamdata::RangeEnergyTable rangeTable_{};
    bool rangeTableLoaded_ = false;
    bool composing_ = false;

    QLineEdit* nominalEnergyBox_ = nullptr;   // MeV, only part of the result name
    QLineEdit* practicalRangeBox_ = nullptr;  // cm
    QPushButton* deriveMaxEnergyButton_ = nullptr;
    QLineEdit* maxEnergyBox_ = nullptr;  // MeV
    QLineEdit* alphaBox_ = nullptr;
    QLineEdit* betaBox_ = nullptr;
    QScrollBar* alphaScrollBar_ = nullptr;
    QScrollBar* betaScrollBar_ = nullptr;
    QLineEdit* historyBox_ = nullptr;
    QLineEdit* fileNameBox_ = nullptr;  // the result name without extension
    QLineEdit* fileNameCopyBox_ = nullptr;
    QPushButton* depthDoseRunButton_ = nullptr;
    QPushButton* kernelRunButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
    DrawingSurface* spectrumPlot_ = nullptr;
    SurfaceLine* cursorLevelLine_ = nullptr;     // horizontal, at the relative density read out
    SurfaceLine* cursorPositionLine_ = nullptr;  // vertical, at the pointer
    QLineEdit* cursorXBox_ = nullptr;
    QLineEdit* cursorDensityBox_ = nullptr;
};

}  // namespace orvalis
