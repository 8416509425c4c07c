#include "viewers/spectrum_fit_panel.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "beamdata/free_format.h"
#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "viewers/comparison_window.h"
#include "viewers/free_spectrum_view.h"
#include "widgets/drawing_surface.h"
#include "widgets/native_path.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

// Left of "Graph clear", the one free place of the window's lower left corner.
constexpr int BUTTON_TWIPS[] = {120, 8400, 1740, 495};

}  // namespace

SpectrumFitPanel::SpectrumFitPanel(ComparisonWindow& window, Context context,
                                   std::function<std::optional<double>()> setupMaxEnergy,
                                   std::function<void(const viewers::FittedSpectrum&)> applyToSetup)
    : QWidget(nullptr, Qt::Tool),
      window_(window),
      context_(std::move(context)),
      setupMaxEnergy_(std::move(setupMaxEnergy)),
      applyToSetup_(std::move(applyToSetup)),
      fitProcess_(context_.program, context_.workFolder) {
    setObjectName(QStringLiteral("FitPanel"));
    setWindowTitle(QStringLiteral("Spectrum fit"));
    buildControls();
    connect(&window_, &ComparisonWindow::measuredLoaded, this, &SpectrumFitPanel::measuredLoaded);
    connect(&fitProcess_, &FitProcess::progressed, this, [this](int percent) { progress_->setValue(percent); });
    connect(&fitProcess_, &FitProcess::finished, this, &SpectrumFitPanel::fitEnded);
}

SpectrumFitPanel::~SpectrumFitPanel() { delete fitButton_.data(); }

void SpectrumFitPanel::buildControls() {
    fitButton_ = new QPushButton(QStringLiteral("Fit spectrum"), &window_);
    fitButton_->setObjectName(QStringLiteral("FitSpectrum"));
    fitButton_->setAccessibleName(QStringLiteral("Fit the spectrum to the measured data"));
    fitButton_->setToolTip(QStringLiteral("Fit alpha, beta and the maximum energy to the measured depth dose"));
    fitButton_->setGeometry(twipsRect(BUTTON_TWIPS[0], BUTTON_TWIPS[1], BUTTON_TWIPS[2], BUTTON_TWIPS[3]));
    fitButton_->setEnabled(false);
    // Opens the fit window only: the model and its maximum energy are chosen there, before "Start fit".
    connect(fitButton_, &QPushButton::clicked, this, [this] {
        show();
        raise();
        activateWindow();
    });
    buildPanel();
}

void SpectrumFitPanel::buildPanel() {
    auto* grid = new QGridLayout(this);
    fileLabel_ = new QLabel(this);
    fileLabel_->setObjectName(QStringLiteral("FitFile"));
    grid->addWidget(fileLabel_, 0, 0, 1, 3);
    buildModelChoice(grid);
    fromRange_ = new QCheckBox(QStringLiteral("Start Emax from the measured Rp"), this);
    fromRange_->setObjectName(QStringLiteral("FitFromRp"));
    fromRange_->setChecked(true);
    grid->addWidget(fromRange_, 2, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Emax (MeV)"), this), 3, 0);
    maxEnergy_ = new QLineEdit(this);
    maxEnergy_->setObjectName(QStringLiteral("FitEmax"));
    maxEnergy_->setAccessibleName(QStringLiteral("Maximum energy to start from, MeV"));
    maxEnergy_->setEnabled(false);
    connect(maxEnergy_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!showsFittedMaxEnergy()) typedMaxEnergy_ = text;
    });
    grid->addWidget(maxEnergy_, 3, 1);
    fixed_ = new QCheckBox(QStringLiteral("fixed"), this);
    fixed_->setObjectName(QStringLiteral("FitFixed"));
    fixed_->setEnabled(false);
    grid->addWidget(fixed_, 3, 2);
    connect(fromRange_, &QCheckBox::toggled, this, &SpectrumFitPanel::modelChanged);
    grid->addWidget(new QLabel(QStringLiteral("Emax span (+- %)"), this), 4, 0);
    span_ = new QLineEdit(QStringLiteral("10"), this);
    span_->setObjectName(QStringLiteral("FitSpan"));
    span_->setAccessibleName(QStringLiteral("How far the maximum energy may move, percent"));
    grid->addWidget(span_, 4, 1);
    connect(fixed_, &QCheckBox::toggled, this, &SpectrumFitPanel::modelChanged);
    start_ = new QPushButton(QStringLiteral("Start fit"), this);
    start_->setObjectName(QStringLiteral("FitStart"));
    connect(start_, &QPushButton::clicked, this, &SpectrumFitPanel::startFit);
    grid->addWidget(start_, 5, 0);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("FitProgress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    grid->addWidget(progress_, 5, 1);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("FitCancel"));
    cancel_->setEnabled(false);
    connect(cancel_, &QPushButton::clicked, this, &SpectrumFitPanel::cancelFit);
    grid->addWidget(cancel_, 5, 2);
    resultLabel_ = new QLabel(this);
    resultLabel_->setObjectName(QStringLiteral("FitResult"));
    resultLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resultLabel_->setMinimumWidth(360);
    resultLabel_->setWordWrap(true);
    grid->addWidget(resultLabel_, 6, 0, 1, 3);
    apply_ = new QPushButton(QStringLiteral("Set alpha, beta and Emax in the set-up window"), this);
    apply_->setObjectName(QStringLiteral("FitApply"));
    apply_->setEnabled(false);
    connect(apply_, &QPushButton::clicked, this, [this] {
        if (result_ && applyToSetup_) applyToSetup_(*result_);
    });
    grid->addWidget(apply_, 7, 0, 1, 3);
    freeView_ = new FreeSpectrumView(context_.messages, context_.launcher, context_.workFolder, this);
    freeView_->hide();
    grid->addWidget(freeView_, 8, 0, 1, 3);
}

void SpectrumFitPanel::buildModelChoice(QGridLayout* grid) {
    betaModel_ = new QRadioButton(QStringLiteral("Beta"), this);
    betaModel_->setObjectName(QStringLiteral("FitModelBeta"));
    betaModel_->setAccessibleName(QStringLiteral("Beta spectrum: alpha, beta and the maximum energy"));
    betaModel_->setChecked(true);
    freeModel_ = new QRadioButton(QStringLiteral("Free-form"), this);
    freeModel_->setObjectName(QStringLiteral("FitModelFree"));
    freeModel_->setAccessibleName(QStringLiteral("Free-form spectrum with a bremsstrahlung background"));
    freeModel_->setToolTip(
        QStringLiteral("One weight per bin of the exchange file, kept smooth, and the background "
                       "beyond Rp; the bins reach 1.2 x the Emax of Rp"));
    grid->addWidget(new QLabel(QStringLiteral("Model"), this), 1, 0);
    grid->addWidget(betaModel_, 1, 1);
    grid->addWidget(freeModel_, 1, 2);
    connect(freeModel_, &QRadioButton::toggled, this, &SpectrumFitPanel::modelChanged);
}

viewers::FitModel SpectrumFitPanel::model() const {
    return freeModel_->isChecked() ? viewers::FitModel::Free : viewers::FitModel::Beta;
}

// A typed Emax is where a Beta fit starts (or stays, when fixed) and where the free-form bins end;
// only the Beta model has a span and a fixed energy.
void SpectrumFitPanel::modelChanged() {
    const bool beta = model() == viewers::FitModel::Beta;
    const bool typed = !fromRange_->isChecked();
    maxEnergy_->setEnabled(typed);
    fixed_->setEnabled(beta && typed);
    span_->setEnabled(beta && !(typed && fixed_->isChecked()));
    showMaxEnergy();
}

// Greyed in Free-form, the box tells the energy of bin 100 that the fit took from Rp, once a result
// says it; otherwise it keeps the value typed or taken from the set-up window.
bool SpectrumFitPanel::showsFittedMaxEnergy() const {
    return model() == viewers::FitModel::Free && fromRange_->isChecked();
}

void SpectrumFitPanel::showMaxEnergy() {
    if (!showsFittedMaxEnergy()) {
        maxEnergy_->setText(typedMaxEnergy_);
        maxEnergy_->setPlaceholderText(QString());
        return;
    }
    maxEnergy_->setPlaceholderText(QStringLiteral("from Rp"));
    maxEnergy_->setText(
        freeResult_ ? QString::fromStdString(beamdata::formatNumber(freeResult_->result.summary.maxEnergyMeV, "#0.0"))
                    : QString());
}

void SpectrumFitPanel::measuredLoaded(const QString& path) {
    measuredPath_ = path;
    fitButton_->setEnabled(true);
    fileLabel_->setText(QStringLiteral("Measured: ") + QFileInfo(path).fileName());
    if (setupMaxEnergy_ && typedMaxEnergy_.isEmpty())
        if (const auto energy = setupMaxEnergy_())
            typedMaxEnergy_ = QString::fromStdString(beamdata::formatNumber(*energy, "#0.0"));
    showMaxEnergy();
}

void SpectrumFitPanel::startFit() {
    if (isRunning() || measuredPath_.isEmpty()) return;
    viewers::FitRequest request;
    request.model = model();
    request.measuredPath = nativeBytes(measuredPath_);
    curvePath_ = context_.workFolder + QStringLiteral("/fit-") + QFileInfo(measuredPath_).completeBaseName() +
                 QStringLiteral(".pdd");
    request.curvePath = nativeBytes(curvePath_);
    if (!fromRange_->isChecked()) {
        const double energy = beamdata::textValue(typedMaxEnergy_.toStdString());
        if (!(energy > 0.0)) {
            resultLabel_->setText(QStringLiteral("Type the maximum energy to start from."));
            return;
        }
        request.maxEnergyMeV = energy;
        request.fixedMaxEnergy = fixed_->isChecked();
    }
    const double span = beamdata::textValue(span_->text().toStdString());
    if (request.model == viewers::FitModel::Beta && !(span >= 1.0 && span <= 30.0)) {
        resultLabel_->setText(QStringLiteral("The span of the maximum energy must lie between 1 and 30 %."));
        return;
    }
    request.spanPercent = span;
    if (const MeasuredFileImport* import = window_.measuredImport()) {  // else a CSV file, read as drawn
        request.scan = import->fitScan();
        request.ionisation = import->fitIonisation();
        request.depthsInCm = import->fitDepthsInCm();
    }
    request_ = request;
    result_.reset();
    freeResult_.reset();
    freeView_->clearResult();
    showMaxEnergy();
    levels_.clear();
    note_.clear();
    progress_->setValue(0);
    resultLabel_->setText(QStringLiteral("Fitting..."));
    apply_->setEnabled(false);
    start_->setEnabled(false);
    fitButton_->setEnabled(false);
    cancel_->setEnabled(true);
    fitProcess_.start(request);
}

void SpectrumFitPanel::cancelFit() { fitProcess_.cancel(); }

void SpectrumFitPanel::fitEnded(const FitOutcome& outcome) {
    cancel_->setEnabled(false);
    start_->setEnabled(true);
    fitButton_->setEnabled(!measuredPath_.isEmpty());
    const bool succeeded = outcome.succeeded;
    result_ = outcome.beta;
    levels_ = outcome.levels;
    freeResult_ = outcome.free;
    note_ = outcome.note;
    if (succeeded) {
        progress_->setValue(100);
        const bool drawn = drawFittedCurve();
        showResult();
        if (!drawn)
            resultLabel_->setText(resultLabel_->text() + QStringLiteral("\nThe fitted curve file ") + curvePath_ +
                                  QStringLiteral(" cannot be read; it is not drawn."));
    } else {
        result_.reset();
        freeResult_.reset();
        showMaxEnergy();
        resultLabel_->setText(outcome.cancelled ? QStringLiteral("Cancelled.")
                              : outcome.failedToStart
                                  ? QStringLiteral("orvalis-fit could not be started: ") + context_.program
                                  : QStringLiteral("The fit failed: ") + outcome.error);
    }
    emit fitFinished(succeeded);
}

bool SpectrumFitPanel::drawFittedCurve() {
    const std::optional<std::string> text = beamdata::text::readWholeFile(nativeBytes(curvePath_));
    if (!text) return false;
    const auto points = viewers::fittedCurvePoints(*text);
    if (!points) return false;
    window_.drawFittedCurve(*points, QFileInfo(curvePath_).fileName());
    return true;
}

void SpectrumFitPanel::showResult() {
    const bool free = freeResult_.has_value();
    apply_->setVisible(!free);
    apply_->setEnabled(!free && static_cast<bool>(applyToSetup_));
    freeView_->setVisible(free);
    QString text;
    if (free) {
        text = QString::fromStdString(viewers::freeFitFiguresText(freeResult_->result));
        freeView_->showResult(*freeResult_, request_);
        showMaxEnergy();
    } else {
        text = QStringLiteral("alpha %1   beta %2   Emax %3 MeV   rms %4 %")
                   .arg(result_->alpha, 0, 'f', 1)
                   .arg(result_->beta, 0, 'f', 1)
                   .arg(result_->maxEnergyMeV, 0, 'f', 1)
                   .arg(result_->rmsPercent, 0, 'f', 2);
        for (const viewers::FittedLevel& level : levels_)
            text += QStringLiteral("\n%1: measured %2 mm, fitted %3 mm")
                        .arg(QString::fromStdString(level.name))
                        .arg(level.measuredMm, 0, 'f', 2)
                        .arg(level.fittedMm, 0, 'f', 2);
    }
    if (!note_.isEmpty()) text += QStringLiteral("\n") + note_;
    resultLabel_->setText(text);
    adjustSize();  // room for the lines just shown
}

}  // namespace orvalis
