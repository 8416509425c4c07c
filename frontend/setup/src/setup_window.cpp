#include "setup/setup_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include <utility>

#include "beamdata/beta_spectrum.h"
#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "common/setup_logic.h"
#include "engine/run_error.h"
#include "setup/beta_formula.h"
#include "widgets/drawing_surface.h"
#include "widgets/form_controls.h"
#include "widgets/palette.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

constexpr WindowFrame FRAME{"Form3", "New Calculation", "New calculation set-up", 13050, 11280};
constexpr int LARGE_SCROLL_STEP = 10;
constexpr int ALPHA_OPENING_VALUE = 80;  // alpha 8.0
constexpr int BETA_OPENING_VALUE = 20;   // beta 2.0
constexpr double CURSOR_LINE_END = 998.0;
constexpr int GRID_LINES_PER_AXIS = 9;

const QColor NOMINAL_ENERGY_BLUE(0, 0, 255);
const QColor SCROLL_BAR_GREY(212, 208, 200);
const QString ALPHA_HTML = "<span style=\"font-family:'IPAGothic'\">&#945;</span>";
const QString BETA_HTML = "<span style=\"font-family:'IPAGothic'\">&#946;</span>";

QLineEdit* makeBox(QWidget* parent, const char* name, const QString& accessible, QRect geometry,
                   double pointSize = 14.25) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessible);
    box->setGeometry(geometry);
    box->setFont(timesFont(pointSize));
    return box;
}

QLabel* makeLabel(QWidget* parent, const QString& text, QRect geometry, double pointSize = 12.0,
                  const QColor& color = Qt::black) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setFont(timesFont(pointSize));
    label->setTextFormat(Qt::RichText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QScrollBar* makeScrollBar(QWidget* parent, const char* name, const QString& accessible, QRect geometry) {
    auto* bar = new QScrollBar(Qt::Vertical, parent);
    bar->setObjectName(name);
    bar->setAccessibleName(accessible);
    bar->setGeometry(geometry);
    bar->setRange(SCROLL_BAR_MIN, SCROLL_BAR_MAX);
    bar->setSingleStep(1);
    bar->setPageStep(LARGE_SCROLL_STEP);
    bar->setValue(SCROLL_BAR_MIN);
    return bar;
}

QPushButton* makePictureButton(QWidget* parent, const char* name, const QString& accessible, const QString& tip,
                               QStyle::StandardPixmap picture, QRect geometry) {
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setAccessibleName(accessible);
    button->setToolTip(tip);
    button->setIcon(parent->style()->standardIcon(picture));
    button->setGeometry(geometry);
    return button;
}

QPushButton* makeRunButton(QWidget* parent, const char* name, const QString& caption, const QString& accessible,
                           QRect geometry, const char* backColour) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(accessible);
    button->setGeometry(geometry);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; }").arg(backColour));
    button->setFont(timesFont(12.0, true));
    return button;
}

std::string text(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

SetupWindow::SetupWindow(SharedSpectrum& spectrum, MessageSink& messages, ProgramLauncher& launcher,
                         std::filesystem::path workFolder, QWidget* parent)
    : QWidget(parent),
      spectrum_(spectrum),
      messages_(messages),
      launcher_(launcher),
      workFolder_(std::move(workFolder)) {
    setUpWindowFrame(*this, FRAME);
    buildEnergyInputs();
    buildShapeInputs();
    buildRunInputs();
    buildPlot();
    buildStaticTexts();
    loadDefaults();
    loadRangeTable();
}

void SetupWindow::buildEnergyInputs() {
    nominalEnergyBox_ = makeBox(this, "Text10", "Nominal electron energy in MeV", twipsRect(3240, 1080, 975, 480));
    QPalette blueText = nominalEnergyBox_->palette();
    blueText.setColor(QPalette::Text, NOMINAL_ENERGY_BLUE);
    nominalEnergyBox_->setPalette(blueText);
    makeLabel(this, "Nominal Electron Energy", twipsRect(240, 1140, 3000, 360), 12.0, NOMINAL_ENERGY_BLUE);
    makeLabel(this, "MeV", twipsRect(4320, 1140, 720, 360), 12.0, NOMINAL_ENERGY_BLUE);

    practicalRangeBox_ = makeBox(this, "Text7", "Practical range in cm", twipsRect(3240, 1920, 975, 480));
    makeLabel(this, "Practical range&nbsp;&nbsp;R<sub>p</sub>", twipsRect(240, 1980, 3000, 420));
    makeLabel(this, "cm", twipsRect(4320, 1980, 720, 360));

    deriveMaxEnergyButton_ = makePictureButton(this, "Command4", "Derive the maximum energy from the practical range",
                                               "Maximum energy from the practical range", QStyle::SP_ArrowDown,
                                               twipsRect(3480, 2520, 495, 495));

    maxEnergyBox_ = makeBox(this, "Text4", "Maximum electron energy in MeV", twipsRect(3240, 3120, 975, 480));
    makeLabel(this, "Electron", twipsRect(240, 3060, 3000, 300));
    makeLabel(this, "maximum energy", twipsRect(240, 3330, 3000, 300));
    makeLabel(this, "MeV", twipsRect(4320, 3180, 720, 360));

    connect(deriveMaxEnergyButton_, &QPushButton::clicked, this, &SetupWindow::deriveMaxEnergy);
    connect(maxEnergyBox_, &QLineEdit::textChanged, this, &SetupWindow::composeFileName);
    connect(nominalEnergyBox_, &QLineEdit::textChanged, this, &SetupWindow::composeFileName);
}

void SetupWindow::buildShapeInputs() {
    makeLabel(this, "Adjust&nbsp;&nbsp;" + ALPHA_HTML + "&nbsp;&nbsp;and&nbsp;&nbsp;" + BETA_HTML,
              twipsRect(1080, 3840, 3600, 420), 14.25);
    alphaBox_ = makeBox(this, "Text1", "Alpha", twipsRect(1080, 5040, 975, 540));
    betaBox_ = makeBox(this, "Text2", "Beta", twipsRect(2880, 5040, 975, 540));
    makeLabel(this, ALPHA_HTML + " =", twipsRect(360, 5100, 700, 420), 14.25);
    makeLabel(this, BETA_HTML + " =", twipsRect(2330, 5100, 540, 420), 14.25);
    alphaScrollBar_ = makeScrollBar(this, "VScroll1", "Alpha scroll bar", twipsRect(2040, 4440, 255, 1575));
    betaScrollBar_ = makeScrollBar(this, "VScroll2", "Beta scroll bar", twipsRect(3840, 4440, 255, 1575));
    connect(alphaScrollBar_, &QScrollBar::valueChanged, this, [this] { scrollBarChanged(alphaScrollBar_, alphaBox_); });
    connect(betaScrollBar_, &QScrollBar::valueChanged, this, [this] { scrollBarChanged(betaScrollBar_, betaBox_); });
}

void SetupWindow::buildRunInputs() {
    makeLabel(this, "History of Monte Carlo Simulation", twipsRect(360, 6600, 4695, 420));
    historyBox_ = makeBox(this, "Text8", "Number of histories", twipsRect(2160, 7080, 2295, 375), 12.0);
    makeLabel(this, "File name to calculated data save", twipsRect(360, 7620, 4695, 360));
    makeLabel(this, "( without extension )", twipsRect(360, 7980, 4695, 360));
    fileNameBox_ = makeBox(this, "Text3", "Result file name without extension", twipsRect(360, 8445, 4695, 450), 12.0);
    fileNameCopyBox_ = makeBox(this, "Text9", "Result file name, copy", twipsRect(360, 9525, 4695, 450), 12.0);

    depthDoseRunButton_ = makeRunButton(this, "Command6", "PDD Calculation", "PDD calculation",
                                        twipsRect(2520, 8880, 2535, 495), "rgb(255, 255, 192)");
    kernelRunButton_ = makeRunButton(this, "Command3", "Kernel Calculation", "Kernel calculation",
                                     twipsRect(2520, 9960, 2535, 495), "rgb(192, 255, 192)");
    backButton_ = makePictureButton(this, "Command2", "Back to the main menu", "Back", QStyle::SP_ArrowBack,
                                    twipsRect(240, 10560, 495, 495));

    connect(fileNameBox_, &QLineEdit::textChanged, this, &SetupWindow::composeFileName);
    connect(depthDoseRunButton_, &QPushButton::clicked, this, [this] { launch(CalculationKind::DepthDose); });
    connect(kernelRunButton_, &QPushButton::clicked, this, [this] { launch(CalculationKind::Kernel); });
    connect(backButton_, &QPushButton::clicked, this, &SetupWindow::backRequested);
}

void SetupWindow::buildPlot() {
    spectrumPlot_ = new DrawingSurface(this);
    spectrumPlot_->setObjectName("Picture1");
    spectrumPlot_->setAccessibleName("Beta spectrum plot");
    spectrumPlot_->setGeometry(twipsRect(5880, 3720, 6855, 6015));
    spectrumPlot_->setScale(0, SPECTRUM_PLOT_FULL_SCALE, SPECTRUM_PLOT_FULL_SCALE, -SPECTRUM_PLOT_FULL_SCALE);
    spectrumPlot_->setBackgroundColor(Qt::white);
    // The fixed grid: line objects, so clearing the plot for a new curve leaves it.
    constexpr double GRID_STEP = SPECTRUM_PLOT_FULL_SCALE / (GRID_LINES_PER_AXIS + 1);
    int number = 1;
    for (int k = 1; k <= GRID_LINES_PER_AXIS; ++k)
        spectrumPlot_->addLine(QString("Line%1").arg(number++), GRID_STEP * k, 0, GRID_STEP * k,
                               SPECTRUM_PLOT_FULL_SCALE, LIGHT_GREY);
    for (int k = 1; k <= GRID_LINES_PER_AXIS; ++k)
        spectrumPlot_->addLine(QString("Line%1").arg(number++), 0, GRID_STEP * k, SPECTRUM_PLOT_FULL_SCALE,
                               GRID_STEP * k, SCROLL_BAR_GREY);
    cursorPositionLine_ = spectrumPlot_->addLine("Line21", 0, 0, 0, SPECTRUM_PLOT_FULL_SCALE, CURVE_RED, 1, false);
    cursorLevelLine_ = spectrumPlot_->addLine("Line20", 0, 0, CURSOR_LINE_END, 0, CURVE_RED, 1, false);
    connect(spectrumPlot_, &DrawingSurface::mouseMoved, this, &SetupWindow::showCursor);

    cursorXBox_ = makeBox(this, "Text5", "Cursor x", twipsRect(7800, 10320, 1095, 420), 12.0);
    cursorDensityBox_ = makeBox(this, "Text6", "Cursor relative density", twipsRect(10560, 10320, 1095, 420), 12.0);
    makeLabel(this, "x=", twipsRect(7380, 10350, 420, 360));
    makeLabel(this, " f(x)=", twipsRect(9780, 10350, 780, 360));
}

void SetupWindow::buildStaticTexts() {
    auto* formula = new BetaFormula(this);
    formula->setGeometry(twipsRect(6120, 360, 6600, 3180));
    // Axis texts under and beside the plot (plot bottom at 9735 twips).
    makeLabel(this, "0", twipsRect(5820, 9780, 300, 360));
    makeLabel(this, "0.5", twipsRect(9180, 9780, 450, 360));
    makeLabel(this, "1.0", twipsRect(12540, 9780, 450, 360));
    makeLabel(this, "<i>x</i>", twipsRect(11040, 9780, 300, 360));
    makeLabel(this, " <i>f(x)</i>", twipsRect(5100, 3720, 780, 360));
}

void SetupWindow::loadDefaults() {
    alphaBox_->setText("8");
    betaBox_->setText("2");
    fileNameBox_->setText("9MeV");
    fileNameCopyBox_->setText(fileNameBox_->text());
    maxEnergyBox_->setText("9.0");
    practicalRangeBox_->setText("4.5");
    nominalEnergyBox_->setText("9");
}

void SetupWindow::loadRangeTable() {
    try {
        rangeTable_ = beamdata::readRangeEnergyTable(workFolder_ / beamdata::CSDA_FILE_NAME);
        rangeTableLoaded_ = true;
    } catch (const engine::RunError& error) {
        messages_.warn(std::string(" ") + error.what() +
                       ". The maximum energy cannot be derived from the practical range.");
    }
}

void SetupWindow::prepare(SetupMode mode) {
    alphaScrollBar_->setValue(ALPHA_OPENING_VALUE);
    betaScrollBar_->setValue(BETA_OPENING_VALUE);
    cursorPositionLine_->hide();
    cursorLevelLine_->hide();
    cursorDensityBox_->clear();
    cursorXBox_->clear();
    const bool depthDose = mode == SetupMode::DepthDose;
    historyBox_->setText(depthDose ? beamdata::DEPTH_DOSE_HISTORY_TEXT : beamdata::KERNEL_HISTORY_TEXT);
    kernelRunButton_->setEnabled(!depthDose);
    depthDoseRunButton_->setEnabled(depthDose);
}

double SetupWindow::maxEnergyMeV() const { return beamdata::textValue(text(maxEnergyBox_)); }

void SetupWindow::applySpectrum(double alpha, double beta, double maxEnergyMeV) {
    maxEnergyBox_->setText(QString::fromStdString(beamdata::formatNumber(maxEnergyMeV, "#0.0")));
    alphaScrollBar_->setValue(scrollBarValue(alpha));
    betaScrollBar_->setValue(scrollBarValue(beta));
}

void SetupWindow::scrollBarChanged(const QScrollBar* bar, QLineEdit* box) {
    box->setText(QString::fromStdString(beamdata::formatNumber(bar->value() / SCROLL_STEPS_PER_PARAMETER, "#0.0")));
    updateSpectrum();
    composeFileName();
}

void SetupWindow::updateSpectrum() {
    // Alpha and beta as their boxes read, not as the bars stand: a value typed into one box counts
    // at the next move of either bar.
    const double alpha = beamdata::textValue(text(alphaBox_));
    const double beta = beamdata::textValue(text(betaBox_));
    if (beamdata::updateSpectrum(alpha, beta, spectrum_.betaDensity(), spectrum_.relativeWeight()) ==
        beamdata::SpectrumUpdate::Completed) {
        drawCurve();
    }
}

void SetupWindow::drawCurve() {
    spectrumPlot_->clear();
    const SpectrumArray& relative = spectrum_.relativeWeight();
    // Plot coordinates go through 32-bit reals, as the plot's scale works in them.
    spectrumPlot_->setLineWidth(2);
    spectrumPlot_->point(0, static_cast<float>(SPECTRUM_PLOT_FULL_SCALE * relative[0]), CURVE_RED);
    for (std::size_t k = 1; k <= SPECTRUM_LAST_POINT; ++k) {
        spectrumPlot_->lineTo(static_cast<float>(SPECTRUM_PLOT_UNITS_PER_POINT * static_cast<double>(k)),
                              static_cast<float>(SPECTRUM_PLOT_FULL_SCALE * relative[k]), CURVE_RED);
    }
}

void SetupWindow::composeFileName() {
    // The boxes' texts as they stand; the name box is rewritten even when the user typed into it.
    if (composing_) return;
    composing_ = true;
    fileNameBox_->setText(QString::fromStdString(
        orvalis::composeFileName(text(nominalEnergyBox_), text(maxEnergyBox_), text(alphaBox_), text(betaBox_))));
    fileNameCopyBox_->setText(fileNameBox_->text());
    composing_ = false;
}

void SetupWindow::deriveMaxEnergy() {
    if (!rangeTableLoaded_) {
        messages_.warn(std::string(" The range table ") + beamdata::CSDA_FILE_NAME +
                       " is missing; the maximum energy is left as it is.");
        return;
    }
    const auto derivedMeV = beamdata::maxEnergyFromPracticalRange(rangeTable_,
                                                                  beamdata::textValue(text(practicalRangeBox_)));
    if (!derivedMeV) return;  // beyond the table: nothing changes
    maxEnergyBox_->setText(QString::fromStdString(beamdata::formatNumber(*derivedMeV, "#0.0")));
    composeFileName();
}

void SetupWindow::launch(CalculationKind kind) {
    // The boxes are written as they stand (the title lines carry the alpha and beta texts, the
    // spectrum lines the weights of the last scroll-bar change).
    LaunchRequest request;
    request.kind = kind;
    request.maxEnergyText = text(maxEnergyBox_);
    request.historyText = text(historyBox_);
    request.fileNameText = text(fileNameBox_);
    request.alphaText = text(alphaBox_);
    request.betaText = text(betaBox_);
    launchCalculation(request, spectrum_.relativeWeight(), workFolder_, messages_, launcher_,
                      [] { QCoreApplication::processEvents(); });
}

void SetupWindow::showCursor(double x, double y) {
    const SpectrumCursor cursor = spectrumCursor(x, y, spectrum_.relativeWeight());
    if (!cursor.shown) {
        cursorLevelLine_->hide();
        cursorPositionLine_->hide();
        cursorXBox_->clear();
        cursorDensityBox_->clear();
        return;
    }
    cursorLevelLine_->show();
    cursorPositionLine_->show();
    cursorPositionLine_->setX(cursor.x);
    cursorXBox_->setText(QString::fromStdString(cursor.xText));
    cursorLevelLine_->setY(cursor.y);
    cursorDensityBox_->setText(QString::fromStdString(cursor.valueText));
}

void SetupWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit backRequested();
}

}  // namespace orvalis
