#include "app/orvalis_app.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <utility>

#include "app/main_menu_window.h"
#include "beamdata/measured_curve_file.h"
#include "commissioning/commissioning_window.h"
#include "engine/program_info.h"
#include "engine/run_error.h"
#include "setup/setup_window.h"
#include "viewers/comparison_window.h"
#include "viewers/kernel_viewer_window.h"
#include "viewers/measured_scan_import.h"
#include "viewers/spectrum_display_window.h"
#include "viewers/spectrum_fit_panel.h"
#include "widgets/native_path.h"
#include "widgets/twips.h"

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
        connect(mainMenu_.get(), &MainMenuWindow::aboutRequested, this, &OrvalisApp::showAbout);
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
        new MeasuredScanImport(*comparisonWindow_, messages_);  // the window's child and its reader
        centreOnScreen(*comparisonWindow_);
        installSpectrumFit();
        installCommissioningButton();
    }
    return *comparisonWindow_;
}

// Below the plot, right of the read-out's "PDD" box: the one free place of the window's lower edge.
void OrvalisApp::installCommissioningButton() {
    constexpr int BUTTON_TWIPS[] = {14040, 8520, 1380, 495};
    constexpr double BUTTON_POINTS = 8.0;
    auto* button = new QPushButton(QStringLiteral("Commissioning..."), comparisonWindow_.get());
    button->setObjectName(QStringLiteral("Commissioning"));
    button->setAccessibleName(QStringLiteral("Fit every beam of a set of water-tank exports"));
    button->setGeometry(twipsRect(BUTTON_TWIPS[0], BUTTON_TWIPS[1], BUTTON_TWIPS[2], BUTTON_TWIPS[3]));
    QFont font = button->font();
    font.setPointSizeF(BUTTON_POINTS);
    button->setFont(font);
    connect(button, &QPushButton::clicked, this, [this] { showOnTop(commissioning()); });
}

CommissioningWindow& OrvalisApp::commissioning() {
    if (!commissioning_) {
        QString program = QStandardPaths::findExecutable(QStringLiteral("orvalis-commission"),
                                                         {QCoreApplication::applicationDirPath()});
        if (program.isEmpty()) program = QStringLiteral("orvalis-commission");
        commissioning_ = std::make_unique<CommissioningWindow>(
            CommissioningWindow::Context{messages_, program, viewerContext().startFolder});
        connect(commissioning_.get(), &CommissioningWindow::beamOpened, this, &OrvalisApp::openCommissionedBeam);
    }
    return *commissioning_;
}

void OrvalisApp::openCommissionedBeam(const QString& path, int scan) {
    ComparisonWindow& comparison = comparisonWindow();
    showOnTop(comparison);
    if (!comparison.measuredImport()->loadIfWaterTank(path, scan)) {
        try {  // a CSV file: one curve, loaded as the window loads a measured file
            const beamdata::MeasuredFile file = beamdata::readMeasuredFile(nativePath(path));
            const beamdata::DepthScan& curve = file.depthScans.front();
            comparison.loadMeasuredCurve(path, pathText(nativePath(path).filename()), curve.depthMm, curve.value);
        } catch (const engine::RunError& e) {
            messages_.warn(e.what());
        }
    }
    if (fitPanel_) showOnTop(*fitPanel_);
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
    for (QWidget* window :
         std::initializer_list<QWidget*>{kernelViewer_.get(), comparisonWindow_.get(), setupWindow_.get(),
                                         spectrumDisplay_.get(), fitPanel_.get(), commissioning_.get()})
        if (window) window->hide();
    if (mainMenu_) mainMenu_->hide();
    if (quit_) quit_();
}

QString OrvalisApp::aboutText() const {
    return QStringLiteral(
               "Orvalis %1\n\n"
               "Estimation of the spectrum and kernel of a high-energy electron beam.\n"
               "Simulators: Tolvane (depth dose) and Brisella (kernel); fit: orvalis-fit.\n\n"
               "Work folder: %2")
        .arg(QString::fromLatin1(engine::programVersion()), QString::fromStdString(workFolder_.string()));
}

void OrvalisApp::showAbout() { showBeside("aboutBox", QStringLiteral("About Orvalis"), aboutText(), false); }

void OrvalisApp::showNotice(const std::string& text, bool problem) {
    showBeside("noticeBox", PROGRAM_TITLE, QString::fromStdString(text), problem);
}

void OrvalisApp::showBeside(const QString& objectName, const QString& title, const QString& text, bool warning) {
    auto* box = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Information, title, text, QMessageBox::Ok,
                                &mainMenu());
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);  // a message box blocks the whole program by default
    box->show();
    // Below the menu, not over its buttons (a box is centred on its parent), inside the screen.
    const QRect menu = mainMenu().frameGeometry();
    QRect place(menu.left(), menu.bottom() + 1, box->frameGeometry().width(), box->frameGeometry().height());
    if (const QScreen* screen = mainMenu().screen()) {
        const QRect available = screen->availableGeometry();
        if (place.bottom() > available.bottom()) place.moveLeft(menu.right() + 1), place.moveTop(menu.top());
        if (place.right() > available.right()) place.moveRight(available.right());
        if (place.bottom() > available.bottom()) place.moveBottom(available.bottom());
    }
    box->move(place.topLeft());
}

}  // namespace orvalis
