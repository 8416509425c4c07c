#pragma once
// The front end as a whole: the shared data, the message boxes and the launcher, and the
// single-instance windows, each created the first time it is needed and afterwards only shown
// and hidden, so that their contents survive navigation. Windows talk to each other only
// through the application, which wires their signals.
#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>

#include "common/message_sink.h"
#include "common/module1.h"
#include "common/program_launcher.h"

namespace orvalis {

class Form3;
class Form5;
class PddComparisonWindow;
class KernelViewerWindow;
class SpectrumDisplayWindow;
class SpectrumFitPanel;

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

    Form5& mainMenu();
    Form3& setupWindow();
    bool hasSetupWindow() const { return form3_ != nullptr; }
    PddComparisonWindow& comparisonWindow();   // Form2
    KernelViewerWindow& kernelViewer();        // Form1
    SpectrumDisplayWindow& spectrumDisplay();  // Form4
    bool hasComparisonWindow() const { return form2_ != nullptr; }
    bool hasKernelViewer() const { return form1_ != nullptr; }
    bool hasSpectrumDisplay() const { return form4_ != nullptr; }
    // The spectrum fit beside the comparison window (created with it).
    SpectrumFitPanel* spectrumFit() const { return fitPanel_.get(); }
    Module1& data() { return data_; }
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

private:
    void installSpectrumFit();

    MessageSink& messages_;
    ProgramLauncher& launcher_;
    std::filesystem::path workFolder_;
    std::function<void()> quit_;
    Module1 data_;
    std::unique_ptr<Form5> form5_;
    std::unique_ptr<Form3> form3_;
    std::unique_ptr<PddComparisonWindow> form2_;
    std::unique_ptr<KernelViewerWindow> form1_;
    std::unique_ptr<SpectrumDisplayWindow> form4_;
    std::unique_ptr<SpectrumFitPanel> fitPanel_;  // after form2_: it goes first
};

}  // namespace orvalis
