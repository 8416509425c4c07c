#include "setup/form3.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include <utility>

#include "beamdata/beta_spectrum.h"
#include "engine/run_error.h"
#include "beamdata/number_pattern.h"
#include "beamdata/range_energy.h"
#include "common/setup_logic.h"
#include "beamdata/text_value.h"
#include "setup/beta_formula.h"
#include "widgets/drawing_surface.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

constexpr int CLIENT_WIDTH_TWIPS = 13050;
constexpr int CLIENT_HEIGHT_TWIPS = 11280;
constexpr int SCROLL_MIN = 1;
constexpr int SCROLL_MAX = 200;
constexpr int SCROLL_LARGE_STEP = 10;
constexpr double PARAMETER_PER_STEP = 0.1;  // scroll value 80 is alpha 8.0
constexpr double PLOT_FULL_SCALE = 1000.0;
constexpr double CURSOR_LINE_END = 998.0;
constexpr const char* DEPTH_DOSE_HISTORIES = beamdata::DEPTH_DOSE_HISTORY_TEXT;
constexpr const char* KERNEL_HISTORIES = beamdata::KERNEL_HISTORY_TEXT;

const QColor RED(255, 0, 0);
const QColor BLUE(0, 0, 255);
const QColor LIGHT_GREY(192, 192, 192);
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
    bar->setRange(SCROLL_MIN, SCROLL_MAX);
    bar->setSingleStep(1);
    bar->setPageStep(SCROLL_LARGE_STEP);
    bar->setValue(SCROLL_MIN);
    return bar;
}

std::string text(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

Form3::Form3(Module1& data, MessageSink& messages, ProgramLauncher& launcher, std::filesystem::path workFolder,
             QWidget* parent)
    : QWidget(parent), data_(data), messages_(messages), launcher_(launcher), workFolder_(std::move(workFolder)) {
    setObjectName("Form3");
    setWindowTitle("New Calculation");
    setAccessibleName("New calculation set-up");
    setFixedSize(twipsToPixels(CLIENT_WIDTH_TWIPS), twipsToPixels(CLIENT_HEIGHT_TWIPS));
    buildEnergyInputs();
    buildShapeInputs();
    buildRunInputs();
    buildPlot();
    buildStaticTexts();
    loadDefaults();
    loadRangeTable();
}

void Form3::buildEnergyInputs() {
    text10_ = makeBox(this, "Text10", "Nominal electron energy in MeV", twipsRect(3240, 1080, 975, 480));
    QPalette blueText = text10_->palette();
    blueText.setColor(QPalette::Text, BLUE);
    text10_->setPalette(blueText);
    makeLabel(this, "Nominal Electron Energy", twipsRect(240, 1140, 3000, 360), 12.0, BLUE);
    makeLabel(this, "MeV", twipsRect(4320, 1140, 720, 360), 12.0, BLUE);

    text7_ = makeBox(this, "Text7", "Practical range in cm", twipsRect(3240, 1920, 975, 480));
    makeLabel(this, "Practical range&nbsp;&nbsp;R<sub>p</sub>", twipsRect(240, 1980, 3000, 420));
    makeLabel(this, "cm", twipsRect(4320, 1980, 720, 360));

    command4_ = new QPushButton(this);
    command4_->setObjectName("Command4");
    command4_->setAccessibleName("Derive the maximum energy from the practical range");
    command4_->setToolTip("Maximum energy from the practical range");
    command4_->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    command4_->setGeometry(twipsRect(3480, 2520, 495, 495));

    text4_ = makeBox(this, "Text4", "Maximum electron energy in MeV", twipsRect(3240, 3120, 975, 480));
    makeLabel(this, "Electron", twipsRect(240, 3060, 3000, 300));
    makeLabel(this, "maximum energy", twipsRect(240, 3330, 3000, 300));
    makeLabel(this, "MeV", twipsRect(4320, 3180, 720, 360));

    connect(command4_, &QPushButton::clicked, this, &Form3::deriveMaxEnergy);
    connect(text4_, &QLineEdit::textChanged, this, &Form3::composeFileName);
    connect(text10_, &QLineEdit::textChanged, this, &Form3::composeFileName);
}

void Form3::buildShapeInputs() {
    makeLabel(this, "Adjust&nbsp;&nbsp;" + ALPHA_HTML + "&nbsp;&nbsp;and&nbsp;&nbsp;" + BETA_HTML,
              twipsRect(1080, 3840, 3600, 420), 14.25);
    text1_ = makeBox(this, "Text1", "Alpha", twipsRect(1080, 5040, 975, 540));
    text2_ = makeBox(this, "Text2", "Beta", twipsRect(2880, 5040, 975, 540));
    makeLabel(this, ALPHA_HTML + " =", twipsRect(360, 5100, 700, 420), 14.25);
    makeLabel(this, BETA_HTML + " =", twipsRect(2330, 5100, 540, 420), 14.25);
    vscroll1_ = makeScrollBar(this, "VScroll1", "Alpha scroll bar", twipsRect(2040, 4440, 255, 1575));
    vscroll2_ = makeScrollBar(this, "VScroll2", "Beta scroll bar", twipsRect(3840, 4440, 255, 1575));
    connect(vscroll1_, &QScrollBar::valueChanged, this, [this] { scrollBarChanged(vscroll1_, text1_); });
    connect(vscroll2_, &QScrollBar::valueChanged, this, [this] { scrollBarChanged(vscroll2_, text2_); });
}

void Form3::buildRunInputs() {
    makeLabel(this, "History of Monte Carlo Simulation", twipsRect(360, 6600, 4695, 420));
    text8_ = makeBox(this, "Text8", "Number of histories", twipsRect(2160, 7080, 2295, 375), 12.0);
    makeLabel(this, "File name to calculated data save", twipsRect(360, 7620, 4695, 360));
    makeLabel(this, "( without extension )", twipsRect(360, 7980, 4695, 360));
    text3_ = makeBox(this, "Text3", "Result file name without extension", twipsRect(360, 8445, 4695, 450), 12.0);
    text9_ = makeBox(this, "Text9", "Result file name, copy", twipsRect(360, 9525, 4695, 450), 12.0);

    command6_ = new QPushButton("PDD Calculation", this);
    command6_->setObjectName("Command6");
    command6_->setAccessibleName("PDD calculation");
    command6_->setGeometry(twipsRect(2520, 8880, 2535, 495));
    command6_->setStyleSheet("QPushButton { background-color: rgb(255, 255, 192); }");
    command3_ = new QPushButton("Kernel Calculation", this);
    command3_->setObjectName("Command3");
    command3_->setAccessibleName("Kernel calculation");
    command3_->setGeometry(twipsRect(2520, 9960, 2535, 495));
    command3_->setStyleSheet("QPushButton { background-color: rgb(192, 255, 192); }");
    for (QPushButton* button : {command6_, command3_}) button->setFont(timesFont(12.0, true));

    command2_ = new QPushButton(this);
    command2_->setObjectName("Command2");
    command2_->setAccessibleName("Back to the main menu");
    command2_->setToolTip("Back");
    command2_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    command2_->setGeometry(twipsRect(240, 10560, 495, 495));

    connect(text3_, &QLineEdit::textChanged, this, &Form3::composeFileName);
    connect(command6_, &QPushButton::clicked, this, [this] { launch(CalculationKind::DepthDose); });
    connect(command3_, &QPushButton::clicked, this, [this] { launch(CalculationKind::Kernel); });
    connect(command2_, &QPushButton::clicked, this, &Form3::backRequested);
}

void Form3::buildPlot() {
    picture1_ = new DrawingSurface(this);
    picture1_->setObjectName("Picture1");
    picture1_->setAccessibleName("Beta spectrum plot");
    picture1_->setGeometry(twipsRect(5880, 3720, 6855, 6015));
    picture1_->setScale(0, PLOT_FULL_SCALE, PLOT_FULL_SCALE, -PLOT_FULL_SCALE);
    picture1_->setBackgroundColor(Qt::white);
    // The fixed grid: line objects, so clearing the picture for a new curve leaves it.
    int number = 1;
    for (int k = 1; k <= 9; ++k) {
        picture1_->addLine(QString("Line%1").arg(number++), 100.0 * k, 0, 100.0 * k, PLOT_FULL_SCALE, LIGHT_GREY);
    }
    for (int k = 1; k <= 9; ++k) {
        picture1_->addLine(QString("Line%1").arg(number++), 0, 100.0 * k, PLOT_FULL_SCALE, 100.0 * k, SCROLL_BAR_GREY);
    }
    line21_ = picture1_->addLine("Line21", 0, 0, 0, PLOT_FULL_SCALE, RED, 1, false);
    line20_ = picture1_->addLine("Line20", 0, 0, CURSOR_LINE_END, 0, RED, 1, false);
    connect(picture1_, &DrawingSurface::mouseMoved, this, &Form3::pictureMouseMove);

    text5_ = makeBox(this, "Text5", "Cursor x", twipsRect(7800, 10320, 1095, 420), 12.0);
    text6_ = makeBox(this, "Text6", "Cursor relative density", twipsRect(10560, 10320, 1095, 420), 12.0);
    makeLabel(this, "x=", twipsRect(7380, 10350, 420, 360));
    makeLabel(this, " f(x)=", twipsRect(9780, 10350, 780, 360));
}

void Form3::buildStaticTexts() {
    auto* formula = new BetaFormula(this);
    formula->setGeometry(twipsRect(6120, 360, 6600, 3180));
    // Axis texts under and beside the plot (plot bottom at 9735 twips).
    makeLabel(this, "0", twipsRect(5820, 9780, 300, 360));
    makeLabel(this, "0.5", twipsRect(9180, 9780, 450, 360));
    makeLabel(this, "1.0", twipsRect(12540, 9780, 450, 360));
    makeLabel(this, "<i>x</i>", twipsRect(11040, 9780, 300, 360));
    makeLabel(this, " <i>f(x)</i>", twipsRect(5100, 3720, 780, 360));
}

void Form3::loadDefaults() {
    text1_->setText("8");
    text2_->setText("2");
    text3_->setText("9MeV");
    text9_->setText(text3_->text());
    text4_->setText("9.0");
    text7_->setText("4.5");
    text10_->setText("9");
}

void Form3::loadRangeTable() {
    try {
        data_.rangeTable = beamdata::readRangeEnergyTable(workFolder_ / beamdata::CSDA_FILE_NAME);
        rangeTableLoaded_ = true;
    } catch (const engine::RunError& error) {
        messages_.warn(std::string(" ") + error.what() +
                       ". The maximum energy cannot be derived from the practical range.");
    }
}

void Form3::prepare(SetupMode mode) {
    vscroll1_->setValue(80);
    vscroll2_->setValue(20);
    line21_->hide();
    line20_->hide();
    text6_->clear();
    text5_->clear();
    const bool depthDose = mode == SetupMode::DepthDose;
    text8_->setText(depthDose ? DEPTH_DOSE_HISTORIES : KERNEL_HISTORIES);
    command3_->setEnabled(!depthDose);
    command6_->setEnabled(depthDose);
}

void Form3::scrollBarChanged(QScrollBar* bar, QLineEdit* box) {
    box->setText(QString::fromStdString(beamdata::formatNumber(bar->value() * PARAMETER_PER_STEP, "#0.0")));
    updateSpectrum();
    composeFileName();
}

void Form3::updateSpectrum() {
    const double alpha = beamdata::textValue(text(text1_));
    const double beta = beamdata::textValue(text(text2_));
    if (beamdata::updateSpectrum(alpha, beta, data_.SpecDensity, data_.SpecRelative) == beamdata::SpectrumUpdate::Completed) {
        drawCurve();
    }
}

void Form3::drawCurve() {
    picture1_->clear();
    const auto& relative = data_.SpecRelative;
    // Plot coordinates go through 32-bit reals, as the picture's scale works in them.
    picture1_->setLineWidth(2);
    picture1_->point(0, static_cast<float>(PLOT_FULL_SCALE * relative[0]), RED);
    for (int k = 1; k <= SPECTRUM_LAST_POINT; ++k) {
        picture1_->lineTo(static_cast<float>(10 * k),
                          static_cast<float>(PLOT_FULL_SCALE * relative[static_cast<std::size_t>(k)]), RED);
    }
}

void Form3::composeFileName() {
    if (composing_) return;
    composing_ = true;
    text3_->setText(
        QString::fromStdString(orvalis::composeFileName(text(text10_), text(text4_), text(text1_), text(text2_))));
    text9_->setText(text3_->text());
    composing_ = false;
}

void Form3::deriveMaxEnergy() {
    if (!rangeTableLoaded_) {
        messages_.warn(std::string(" The range table ") + beamdata::CSDA_FILE_NAME +
                       " is missing; the maximum energy is left as it is.");
        return;
    }
    const auto maxEnergyMeV = beamdata::maxEnergyFromPracticalRange(data_.rangeTable, beamdata::textValue(text(text7_)));
    if (!maxEnergyMeV) return;  // beyond the table: nothing changes
    text4_->setText(QString::fromStdString(beamdata::formatNumber(*maxEnergyMeV, "#0.0")));
    composeFileName();
}

void Form3::launch(CalculationKind kind) {
    LaunchRequest request;
    request.kind = kind;
    request.maxEnergyText = text(text4_);
    request.historyText = text(text8_);
    request.fileNameText = text(text3_);
    request.alphaText = text(text1_);
    request.betaText = text(text2_);
    launchCalculation(request, data_, workFolder_, messages_, launcher_, [] { QCoreApplication::processEvents(); });
}

void Form3::pictureMouseMove(double x, double y) {
    const SpectrumCursor cursor = spectrumCursor(x, y, data_.SpecRelative);
    if (!cursor.shown) {
        line20_->hide();
        line21_->hide();
        text5_->clear();
        text6_->clear();
        return;
    }
    line20_->show();
    line21_->show();
    line21_->setX(cursor.x);
    text5_->setText(QString::fromStdString(cursor.xText));
    line20_->setY(cursor.y);
    text6_->setText(QString::fromStdString(cursor.valueText));
}

void Form3::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit backRequested();
}

}  // namespace orvalis
