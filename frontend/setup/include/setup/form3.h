#pragma once
// The calculation set-up window "New Calculation": the Beta spectrum with its two scroll bars
// and live plot, the maximum energy (typed or derived from the practical range), the history
// count, the composed result name and the two launch buttons. The logic lives in orvalis_common;
// this window only wires controls to it.
#include <QWidget>

#include <filesystem>

#include "beamdata/exchange_files.h"
#include "common/message_sink.h"
#include "common/module1.h"
#include "common/program_launcher.h"

class QLabel;
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

class Form3 : public QWidget {
    Q_OBJECT
public:
    // Runs the window's load: default texts, then the range table water.csda from workFolder.
    // A table that cannot be read is reported; the window works without it.
    Form3(Module1& data, MessageSink& messages, ProgramLauncher& launcher, std::filesystem::path workFolder,
          QWidget* parent = nullptr);

    // The opener's steps before showing: alpha 8.0 and beta 2.0 through the scroll bars, cursor
    // hidden, read-outs emptied, history count and the enabled launch button for the mode.
    void prepare(SetupMode mode);
    bool rangeTableLoaded() const { return rangeTableLoaded_; }

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

    void scrollBarChanged(QScrollBar* bar, QLineEdit* box);
    void updateSpectrum();
    void drawCurve();
    void composeFileName();
    void deriveMaxEnergy();
    void launch(CalculationKind kind);
    void pictureMouseMove(double x, double y);

    Module1& data_;
    MessageSink& messages_;
    ProgramLauncher& launcher_;
    std::filesystem::path workFolder_;
    bool rangeTableLoaded_ = false;
    bool composing_ = false;

    QLineEdit* text1_ = nullptr;   // alpha
    QLineEdit* text2_ = nullptr;   // beta
    QLineEdit* text3_ = nullptr;   // result name
    QLineEdit* text4_ = nullptr;   // maximum energy, MeV
    QLineEdit* text5_ = nullptr;   // cursor x
    QLineEdit* text6_ = nullptr;   // cursor f(x)
    QLineEdit* text7_ = nullptr;   // practical range, cm
    QLineEdit* text8_ = nullptr;   // histories
    QLineEdit* text9_ = nullptr;   // copy of the result name
    QLineEdit* text10_ = nullptr;  // nominal energy, MeV
    QScrollBar* vscroll1_ = nullptr;
    QScrollBar* vscroll2_ = nullptr;
    QPushButton* command2_ = nullptr;  // back
    QPushButton* command3_ = nullptr;  // kernel calculation
    QPushButton* command4_ = nullptr;  // derive the maximum energy
    QPushButton* command6_ = nullptr;  // depth-dose calculation
    DrawingSurface* picture1_ = nullptr;
    SurfaceLine* line20_ = nullptr;  // horizontal cursor line
    SurfaceLine* line21_ = nullptr;  // vertical cursor line
};

}  // namespace orvalis
