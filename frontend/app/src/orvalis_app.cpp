#include "app/orvalis_app.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <utility>

#include "app/main_menu_window.h"
#include "setup/setup_window.h"
#include "viewers/comparison_window.h"
#include "viewers/kernel_viewer_window.h"
#include "viewers/spectrum_display_window.h"
#include "viewers/spectrum_fit_panel.h"
#include "widgets/native_path.h"

namespace orvalis {
namespace {

// The result viewers open centred on the screen.
void centreOnScreen(QWidget& window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

void showOnTop(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace

OrvalisApp::OrvalisApp(MessageSink& messages, ProgramLauncher& launcher, std::filesystem::path workFolder,
                       std::function<void()> quit)
    : messages_(messages), launcher_(launcher), workFolder_(std::move(workFolder)), quit_(std::move(quit)) {}

OrvalisApp::~OrvalisApp() = default;

void OrvalisApp::start() { mainMenu().show(); }

MainMenuWindow& OrvalisApp::mainMenu() {
    if (!mainMenu_) {
        mainMenu_ = std::make_unique<MainMenuWindow>();
        connect(mainMenu_.get(), &MainMenuWindow::spectrumEstimationRequested, this, &OrvalisApp::openDepthDoseSetup);
        connect(mainMenu_.get(), &MainMenuWindow::exitRequested, this, &OrvalisApp::exitProgram);
        connect(mainMenu_.get(), &MainMenuWindow::spectrumDisplayRequested, this, &OrvalisApp::openSpectrumDisplay);
        connect(mainMenu_.get(), &MainMenuWindow::electronKernelRequested, this, &OrvalisApp::openKernelViewer);
    }
    return *mainMenu_;
}

SetupWindow& OrvalisApp::setupWindow() {
    if (!setupWindow_) {
        setupWindow_ = std::make_unique<SetupWindow>(sharedSpectrum_, messages_, launcher_, workFolder_);
        connect(setupWindow_.get(), &SetupWindow::backRequested, this, &OrvalisApp::closeSetup);
    }
    return *setupWindow_;
}

ComparisonWindow& OrvalisApp::comparisonWindow() {
    if (!comparisonWindow_) {
        comparisonWindow_ = std::make_unique<ComparisonWindow>(viewerContext());
        centreOnScreen(*comparisonWindow_);
        installSpectrumFit();
    }
    return *comparisonWindow_;
}

KernelViewerWindow& OrvalisApp::kernelViewer() {
    if (!kernelViewer_) {
        kernelViewer_ = std::make_unique<KernelViewerWindow>(viewerContext());
        centreOnScreen(*kernelViewer_);
        connect(kernelViewer_.get(), &KernelViewerWindow::newCalculationRequested, this, &OrvalisApp::openKernelSetup);
        connect(kernelViewer_.get(), &KernelViewerWindow::backRequested, this, &OrvalisApp::closeKernelViewer);
    }
    return *kernelViewer_;
}

SpectrumDisplayWindow& OrvalisApp::spectrumDisplay() {
    if (!spectrumDisplay_) spectrumDisplay_ = std::make_unique<SpectrumDisplayWindow>(sharedSpectrum_, viewerContext());
    return *spectrumDisplay_;
}

void OrvalisApp::openSpectrumDisplay() {
    SpectrumDisplayWindow& display = spectrumDisplay();
    display.clearChart();
    showOnTop(display);
}

void OrvalisApp::openKernelViewer() { showOnTop(kernelViewer()); }

void OrvalisApp::closeKernelViewer() {
    if (kernelViewer_) kernelViewer_->hide();
    if (comparisonWindow_) comparisonWindow_->hide();
}

// The viewers' file lists start in the work folder, where the simulators write their results.
ViewerContext OrvalisApp::viewerContext() { return {messages_, pathText(workFolder_)}; }

// The fit program lies beside the front end, like the simulators.
void OrvalisApp::installSpectrumFit() {
    QString program = QStandardPaths::findExecutable(QStringLiteral("orvalis-fit"),
                                                     {QCoreApplication::applicationDirPath()});
    if (program.isEmpty()) program = QStringLiteral("orvalis-fit");
    auto setupMaxEnergy = [this]() -> std::optional<double> {
        if (!setupWindow_) return std::nullopt;
        return setupWindow_->maxEnergyMeV();
    };
    auto applyToSetup = [this](const viewers::FittedSpectrum& fitted) {
        SetupWindow& setup = setupWindow();
        setup.applySpectrum(fitted.alpha, fitted.beta, fitted.maxEnergyMeV);
        showOnTop(setup);
    };
    SpectrumFitPanel::Context context{messages_, launcher_, program, viewerContext().startFolder};
    fitPanel_ = std::make_unique<SpectrumFitPanel>(*comparisonWindow_, context, setupMaxEnergy, applyToSetup);
}

void OrvalisApp::openSetup(SetupMode mode) {
    SetupWindow& setup = setupWindow();
    setup.prepare(mode);
    showOnTop(setup);
}

void OrvalisApp::openDepthDoseSetup() {
    openSetup(SetupMode::DepthDose);
    ComparisonWindow& comparison = comparisonWindow();
    comparison.resetFromMainMenu();
    showOnTop(comparison);
}

void OrvalisApp::openKernelSetup() { openSetup(SetupMode::Kernel); }

void OrvalisApp::closeSetup() {
    if (fitPanel_) fitPanel_->hide();
    if (comparisonWindow_) comparisonWindow_->hide();
    if (setupWindow_) setupWindow_->hide();
}

void OrvalisApp::exitProgram() {
    for (QWidget* window : std::initializer_list<QWidget*>{kernelViewer_.get(), comparisonWindow_.get(),
                                                           setupWindow_.get(), spectrumDisplay_.get(), fitPanel_.get()})
        if (window) window->hide();
    if (mainMenu_) mainMenu_->hide();
    if (quit_) quit_();
}

}  // namespace orvalis
