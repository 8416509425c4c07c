#include "app/orvalis_app.h"

#include <utility>

#include "setup/form3.h"
#include "setup/form5.h"

namespace orvalis {

OrvalisApp::OrvalisApp(MessageSink& messages, ProgramLauncher& launcher,
                       std::filesystem::path workFolder, std::function<void()> quit)
    : messages_(messages), launcher_(launcher), workFolder_(std::move(workFolder)),
      quit_(std::move(quit)) {}

OrvalisApp::~OrvalisApp() = default;

void OrvalisApp::start() { mainMenu().show(); }

Form5& OrvalisApp::mainMenu() {
  if (!form5_) {
    form5_ = std::make_unique<Form5>();
    connect(form5_.get(), &Form5::spectrumEstimationRequested, this, &OrvalisApp::openDepthDoseSetup);
    connect(form5_.get(), &Form5::exitRequested, this, &OrvalisApp::exitProgram);
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

void OrvalisApp::openDepthDoseSetup() {
  Form3& setup = setupWindow();
  setup.prepare(SetupMode::DepthDose);
  setup.show();
  setup.raise();
  setup.activateWindow();
}

void OrvalisApp::openKernelSetup() {
  Form3& setup = setupWindow();
  setup.prepare(SetupMode::Kernel);
  setup.show();
  setup.raise();
  setup.activateWindow();
}

void OrvalisApp::closeSetup() {
  if (form3_) form3_->hide();
}

void OrvalisApp::exitProgram() {
  if (form3_) form3_->hide();
  if (form5_) form5_->hide();
  if (quit_) quit_();
}

}  // namespace orvalis
