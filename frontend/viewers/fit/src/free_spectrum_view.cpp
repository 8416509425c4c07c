#include "viewers/free_spectrum_view.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "beamdata/free_exchange.h"
#include "common/setup_logic.h"
#include "engine/run_error.h"
#include "widgets/drawing_surface.h"
#include "widgets/native_path.h"
#include "widgets/palette.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

using beamdata::CalculationKind;

constexpr int CHART_WIDTH_PX = 420;
constexpr int CHART_HEIGHT_PX = 220;
constexpr double WEIGHT_TOP = 1.0;
constexpr double WEIGHT_GRID_STEP = 0.2;
constexpr QColor BAND_PINK{255, 190, 190};  // the spectrum's red, pale

// Grid lines every 1, 2 or 5 MeV up to the whole MeV above the highest bin; labels every second line.
double energyGridStep(double energyMaxMeV) { return energyMaxMeV <= 10.0 ? 1.0 : energyMaxMeV <= 25.0 ? 2.0 : 5.0; }

QPushButton* makeRunButton(QWidget* parent, const char* name, const QString& caption, const QString& accessible) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessible);
    button->setEnabled(false);
    return button;
}

}  // namespace

FreeSpectrumView::FreeSpectrumView(MessageSink& messages, ProgramLauncher& launcher, QString workFolder,
                                   QWidget* parent)
    : QWidget(parent), messages_(messages), launcher_(launcher), workFolder_(std::move(workFolder)) {
    setObjectName(QStringLiteral("FreeSpectrum"));
    setAccessibleName(QStringLiteral("Fitted free-form spectrum"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    chart_ = new DrawingSurface(this);
    chart_->setObjectName(QStringLiteral("FreeSpectrumChart"));
    chart_->setAccessibleName(QStringLiteral("Fitted spectrum: relative weight over energy"));
    chart_->setFixedSize(CHART_WIDTH_PX, CHART_HEIGHT_PX);
    chart_->setTextFont(timesFont(9.75));
    grid->addWidget(chart_, 0, 0, 1, 2);
    depthDoseRunButton_ = makeRunButton(this, "FreeRunPdd", QStringLiteral("PDD Calculation of this spectrum"),
                                        QStringLiteral("Depth-dose calculation of the fitted spectrum"));
    kernelRunButton_ = makeRunButton(this, "FreeRunKernel", QStringLiteral("Kernel Calculation of this spectrum"),
                                     QStringLiteral("Kernel calculation of the fitted spectrum"));
    grid->addWidget(depthDoseRunButton_, 1, 0);
    grid->addWidget(kernelRunButton_, 1, 1);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("FreeRunStatus"));
    status_->setWordWrap(true);
    grid->addWidget(status_, 2, 0, 1, 2);
    connect(depthDoseRunButton_, &QPushButton::clicked, this, [this] { run(CalculationKind::DepthDose); });
    connect(kernelRunButton_, &QPushButton::clicked, this, [this] { run(CalculationKind::Kernel); });
}

void FreeSpectrumView::showResult(const viewers::FreeFitView& fit, const viewers::FitRequest& request) {
    clearResult();
    fit_ = fit;
    request_ = request;
    drawSpectrum(fit);
    enableRuns(true);
}

void FreeSpectrumView::clearResult() {
    fit_.reset();
    request_.reset();
    chart_->clear();
    status_->clear();
    enableRuns(false);
}

void FreeSpectrumView::enableRuns(bool enabled) {
    depthDoseRunButton_->setEnabled(enabled);
    kernelRunButton_->setEnabled(enabled);
}

void FreeSpectrumView::drawFrame(double energyMaxMeV) {
    // Energy from 0 to energyMaxMeV across, relative weight 0 to 1 upwards, with room below the
    // frame for the energy labels and the axis title.
    chart_->setScale(-0.09 * energyMaxMeV, 1.08 * WEIGHT_TOP, 1.13 * energyMaxMeV, -1.38 * WEIGHT_TOP);
    chart_->clear();
    chart_->setLineWidth(1);
    const double step = energyGridStep(energyMaxMeV);
    for (double e = step; e < energyMaxMeV - 1e-9; e += step) chart_->line(e, 0, e, WEIGHT_TOP, LIGHT_GREY);
    for (double w = WEIGHT_GRID_STEP; w < WEIGHT_TOP - 1e-9; w += WEIGHT_GRID_STEP)
        chart_->line(0, w, energyMaxMeV, w, LIGHT_GREY);
    chart_->rectangle(0, 0, energyMaxMeV, WEIGHT_TOP);
    for (double e = 0.0; e <= energyMaxMeV + 1e-9; e += 2.0 * step)
        chart_->printTextAt(e - 0.015 * energyMaxMeV, -0.03 * WEIGHT_TOP, QString::number(e));
    chart_->printTextAt(0.35 * energyMaxMeV, -0.14 * WEIGHT_TOP, QStringLiteral("Electron energy [MeV]"));
    chart_->printTextAt(-0.07 * energyMaxMeV, 1.04 * WEIGHT_TOP, QStringLiteral("1"));
    chart_->printTextAt(-0.07 * energyMaxMeV, 0.04 * WEIGHT_TOP, QStringLiteral("0"));
}

void FreeSpectrumView::drawSpectrum(const viewers::FreeFitView& fit) {
    drawFrame(std::max(1.0, std::ceil(fit.result.summary.maxEnergyMeV)));
    if (fit.result.band) {
        // The 95 % band, bin by bin, shaded under the spectrum's line and clipped at the frame's top.
        const double halfBinMeV = 0.5 * fit.result.summary.maxEnergyMeV /
                                  static_cast<double>(viewers::FREE_SPECTRUM_BINS);
        for (std::size_t j = 0; j < viewers::FREE_SPECTRUM_BINS; ++j) {
            const double low = std::min(fit.result.band->low[j], WEIGHT_TOP);
            const double high = std::min(fit.result.band->high[j], WEIGHT_TOP);
            if (high > low)
                chart_->filledRectangle(fit.spectrum[j].energyMeV - halfBinMeV, low,
                                        fit.spectrum[j].energyMeV + halfBinMeV, high, BAND_PINK);
        }
    }
    chart_->setLineWidth(2);
    chart_->point(fit.spectrum.front().energyMeV, fit.spectrum.front().relativeWeight, CURVE_RED);
    for (const viewers::SpectrumPoint& point : fit.spectrum)
        chart_->lineTo(point.energyMeV, point.relativeWeight, CURVE_RED);
}

void FreeSpectrumView::run(CalculationKind kind) {
    if (!fit_ || !request_) return;
    const std::filesystem::path folder = nativePath(workFolder_);
    const beamdata::ExchangeContent content = beamdata::freeExchangeContent(
        fit_->result, std::filesystem::path(request_->measuredPath), kind);
    try {
        beamdata::writeExchangeFiles(folder, content);
    } catch (const engine::RunError& error) {
        messages_.warn(std::string(" The exchange files of the fitted spectrum could not be written (") + error.what() +
                       "). Nothing was started.");
        status_->clear();
        emit runFailed();
        return;
    }
    if (!startSimulator(kind, folder, messages_, launcher_)) {
        status_->setText(QStringLiteral("The exchange files are written; the simulator could not be started."));
        emit runFailed();
        return;
    }
    const QString result = QString::fromStdString(beamdata::resultFileName(content));
    status_->setText(kind == CalculationKind::DepthDose
                         ? QStringLiteral("Tolvane started: %1 for the comparison window, %2 for the spectrum display.")
                               .arg(result, QString::fromStdString(beamdata::fluenceFileName(content)))
                         : QStringLiteral("Brisella started: %1 for the kernel viewer.").arg(result));
    emit simulatorStarted(kind);
}

}  // namespace orvalis
