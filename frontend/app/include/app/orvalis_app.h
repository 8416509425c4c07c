#pragma once
// The front end as a whole: the spectrum that two windows share, the message boxes and the
// launcher, and the single-instance windows, each created the first time it is needed and
// afterwards only shown and hidden, so that their contents survive navigation. Windows talk to
// each other only through the application, which wires their signals.
#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>

#include "common/message_sink.h"
#include "common/program_launcher.h"
#include "common/shared_spectrum.h"
#include "viewers/viewer_context.h"

class QWidget;

namespace orvalis {

class MainMenuWindow;
class SetupWindow;
class ComparisonWindow;
class KernelViewerWindow;
class SpectrumDisplayWindow;
class SpectrumFitPanel;
class CommissioningWindow;
enum class SetupMode;

class OrvalisApp : public QObject {
    Q_OBJECT
public:
    // workFolder is where water.csda is read and where exchange and result files go (the
    // process's current folder in the program). quit ends the program; tests pass a recorder.
    OrvalisApp(MessageSink& messages, ProgramLauncher& launcher, std::filesystem::path workFolder,
               std::function<void()> quit);
    ~OrvalisApp() override;

    // Shows the main menu; nothing else is created and no file is read.
    void start();

    // The text of the About box: "Orvalis <version>" first, for a commissioning record.
    QString aboutText() const;

    MainMenuWindow& mainMenu();
    SetupWindow& setupWindow();
    ComparisonWindow& comparisonWindow();
    KernelViewerWindow& kernelViewer();
    SpectrumDisplayWindow& spectrumDisplay();
    bool hasSetupWindow() const { return setupWindow_ != nullptr; }
    bool hasComparisonWindow() const { return comparisonWindow_ != nullptr; }
    bool hasKernelViewer() const { return kernelViewer_ != nullptr; }
    bool hasSpectrumDisplay() const { return spectrumDisplay_ != nullptr; }
    // The spectrum fit beside the comparison window (created with it).
    SpectrumFitPanel* spectrumFit() const { return fitPanel_.get(); }
    // The Commissioning window, opened by "Commissioning..." in the comparison window.
    CommissioningWindow& commissioning();
    // A commissioned beam in the comparison window, with the fit beside it.
    void openCommissionedBeam(const QString& path, int scan);
    SharedSpectrum& sharedSpectrum() { return sharedSpectrum_; }
    MessageSink& messages() { return messages_; }
    ProgramLauncher& launcher() { return launcher_; }
    const std::filesystem::path& workFolder() const { return workFolder_; }

public slots:
    // "Spectrum Estimation": the set-up window in depth-dose mode.
    void openDepthDoseSetup();
    // The kernel viewer's "New Calculation": the set-up window in kernel mode.
    void openKernelSetup();
    // "Spectrum Display ": the spectrum display emptied and shown.
    void openSpectrumDisplay();
    // "Electron Kernel": the kernel viewer shown as it was left.
    void openKernelViewer();
    // The kernel viewer's back button (it hides itself): the comparison window is hidden too.
    void closeKernelViewer();
    // The set-up window's back button.
    void closeSetup();
    // "Exit": hides every window and ends the program without further questions.
    void exitProgram();
    // "About Orvalis": the program, its version and its parts, in a box that does not hold up the menu.
    void showAbout();
    // What the first start did to the work folder, said once beside the main menu (a warning when
    // something is missing or could not be done), without holding up the menu.
    void showNotice(const std::string& text, bool problem);

private:
    void installSpectrumFit();
    void installCommissioningButton();
    ViewerContext viewerContext();
    void openSetup(SetupMode mode);
    void showBeside(const QString& objectName, const QString& title, const QString& text, bool warning);

    MessageSink& messages_;
    ProgramLauncher& launcher_;
    std::filesystem::path workFolder_;
    std::function<void()> quit_;
    SharedSpectrum sharedSpectrum_;
    std::unique_ptr<MainMenuWindow> mainMenu_;
    std::unique_ptr<SetupWindow> setupWindow_;
    std::unique_ptr<ComparisonWindow> comparisonWindow_;
    std::unique_ptr<KernelViewerWindow> kernelViewer_;
    std::unique_ptr<SpectrumDisplayWindow> spectrumDisplay_;
    std::unique_ptr<SpectrumFitPanel> fitPanel_;  // after comparisonWindow_: it goes first
    std::unique_ptr<CommissioningWindow> commissioning_;
};

}  // namespace orvalis
