#include "app/orvalis_app.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <utility>

#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "setup/form3.h"
#include "setup/form5.h"
#include "setup/spectrum_display_window.h"
#include "viewers/kernel_viewer_window.h"
#include "viewers/pdd_comparison_window.h"
#include "viewers/spectrum_fit_panel.h"

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

Form5& OrvalisApp::mainMenu() {
    if (!form5_) {
        form5_ = std::make_unique<Form5>();
        connect(form5_.get(), &Form5::spectrumEstimationRequested, this, &OrvalisApp::openDepthDoseSetup);
        connect(form5_.get(), &Form5::exitRequested, this, &OrvalisApp::exitProgram);
        connect(form5_.get(), &Form5::spectrumDisplayRequested, this, &OrvalisApp::openSpectrumDisplay);
        connect(form5_.get(), &Form5::electronKernelRequested, this, &OrvalisApp::openKernelViewer);
    }
    return *form5_;
}

Form3& OrvalisApp::setupWindow() {
    if (!form3_) {
        form3_ = std::make_unique<Form3>(data_, messages_, launcher_, workFolder_);
        connect(form3_.get(), &Form3::backRequested, this, &OrvalisApp::closeSetup);
    }
    return *form3_;
}

PddComparisonWindow& OrvalisApp::comparisonWindow() {
    if (!form2_) {
        form2_ = std::make_unique<PddComparisonWindow>(data_, messages_, QString::fromStdString(workFolder_.string()));
        centreOnScreen(*form2_);
        installSpectrumFit();
    }
    return *form2_;
}

KernelViewerWindow& OrvalisApp::kernelViewer() {
    if (!form1_) {
        form1_ = std::make_unique<KernelViewerWindow>(data_, messages_, QString::fromStdString(workFolder_.string()));
        centreOnScreen(*form1_);
        connect(form1_.get(), &KernelViewerWindow::newCalculationRequested, this, &OrvalisApp::openKernelSetup);
        connect(form1_.get(), &KernelViewerWindow::backRequested, this, &OrvalisApp::closeKernelViewer);
    }
    return *form1_;
}

SpectrumDisplayWindow& OrvalisApp::spectrumDisplay() {
    if (!form4_)
        form4_ = std::make_unique<SpectrumDisplayWindow>(data_, messages_,
                                                         QString::fromStdString(workFolder_.string()));
    return *form4_;
}

void OrvalisApp::openSpectrumDisplay() {
    SpectrumDisplayWindow& display = spectrumDisplay();
    display.clearChart();
    showOnTop(display);
}

void OrvalisApp::openKernelViewer() { showOnTop(kernelViewer()); }

void OrvalisApp::closeKernelViewer() {
    if (form1_) form1_->hide();
    if (form2_) form2_->hide();
}

// The fit program lies beside the front end, like the simulators.
void OrvalisApp::installSpectrumFit() {
    QString program = QStandardPaths::findExecutable(QStringLiteral("orvalis-fit"),
                                                     {QCoreApplication::applicationDirPath()});
    if (program.isEmpty()) program = QStringLiteral("orvalis-fit");
    auto setupMaxEnergy = [this]() -> std::optional<double> {
        if (!form3_) return std::nullopt;
        const auto* box = form3_->findChild<QLineEdit*>(QStringLiteral("Text4"));
        return box ? std::optional<double>(beamdata::textValue(box->text().toStdString())) : std::nullopt;
    };
    // Setting the scroll bars recomputes the spectrum and the file name as a user's move would.
    auto applyToSetup = [this](const viewers::FittedSpectrum& fitted) {
        Form3& setup = setupWindow();
        if (auto* box = setup.findChild<QLineEdit*>(QStringLiteral("Text4")))
            box->setText(QString::fromStdString(beamdata::formatNumber(fitted.maxEnergyMeV, "#0.0")));
        if (auto* bar = setup.findChild<QScrollBar*>(QStringLiteral("VScroll1")))
            bar->setValue(viewers::scrollBarValue(fitted.alpha));
        if (auto* bar = setup.findChild<QScrollBar*>(QStringLiteral("VScroll2")))
            bar->setValue(viewers::scrollBarValue(fitted.beta));
        showOnTop(setup);
    };
    fitPanel_ = std::make_unique<SpectrumFitPanel>(*form2_, program, QString::fromStdString(workFolder_.string()),
                                                   setupMaxEnergy, applyToSetup);
}

void OrvalisApp::openDepthDoseSetup() {
    Form3& setup = setupWindow();
    setup.prepare(SetupMode::DepthDose);
    setup.show();
    setup.raise();
    setup.activateWindow();
    PddComparisonWindow& comparison = comparisonWindow();
    comparison.resetFromMainMenu();
    showOnTop(comparison);
}

void OrvalisApp::openKernelSetup() {
    Form3& setup = setupWindow();
    setup.prepare(SetupMode::Kernel);
    setup.show();
    setup.raise();
    setup.activateWindow();
}

void OrvalisApp::closeSetup() {
    if (fitPanel_) fitPanel_->hide();
    if (form2_) form2_->hide();
    if (form3_) form3_->hide();
}

void OrvalisApp::exitProgram() {
    for (QWidget* window :
         std::initializer_list<QWidget*>{form1_.get(), form2_.get(), form3_.get(), form4_.get(), fitPanel_.get()})
        if (window) window->hide();
    if (form5_) form5_->hide();
    if (quit_) quit_();
}

}  // namespace orvalis
