#include "setup/form5.h"

#include <QCloseEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "widgets/twips.h"

namespace orvalis {
namespace {

// Client area 9000 x 7200 twips.
constexpr int CLIENT_WIDTH_TWIPS = 9000;
constexpr int CLIENT_HEIGHT_TWIPS = 7200;
constexpr int BUTTON_LEFT_TWIPS = 2700;
constexpr int BUTTON_WIDTH_TWIPS = 3600;
constexpr int BUTTON_HEIGHT_TWIPS = 540;
constexpr int SHADOW_OFFSET_TWIPS = 15;

struct TitleLine {
    const char* text;
    int topTwips;
    double pointSize;
};

constexpr TitleLine TITLE_LINES[] = {
    {"Estimation of", 480, 24.0},
    {"Spectrum and Kernel", 1020, 24.0},
    {"of High-Energy Electron Beam", 1560, 24.0},
    {"Ver.2", 2160, 18.0},
};

}  // namespace

Form5::Form5(QWidget* parent) : QWidget(parent) {
    setObjectName("Form5");
    setWindowTitle("Orvalis Ver.2");
    setAccessibleName("Main menu");
    setFixedSize(twipsToPixels(CLIENT_WIDTH_TWIPS), twipsToPixels(CLIENT_HEIGHT_TWIPS));

    QPushButton* estimation = addButton("Command1", "Spectrum Estimation", "Spectrum estimation", 3360);
    QPushButton* display = addButton("Command3", "Spectrum Display ", "Spectrum display", 4200);
    QPushButton* kernel = addButton("Command4", "Electron Kernel", "Electron kernel", 5040);
    QPushButton* exitButton = addButton("Command5", "Exit", "Exit", 5880);
    connect(estimation, &QPushButton::clicked, this, &Form5::spectrumEstimationRequested);
    connect(display, &QPushButton::clicked, this, &Form5::spectrumDisplayRequested);
    connect(kernel, &QPushButton::clicked, this, &Form5::electronKernelRequested);
    connect(exitButton, &QPushButton::clicked, this, &Form5::exitRequested);
}

QPushButton* Form5::addButton(const char* name, const QString& caption, const QString& accessible, int topTwips) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAccessibleName(accessible);
    button->setFont(timesFont(14.25, true));
    button->setGeometry(twipsRect(BUTTON_LEFT_TWIPS, topTwips, BUTTON_WIDTH_TWIPS, BUTTON_HEIGHT_TWIPS));
    return button;
}

void Form5::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The background picture: a deep blue field with faint depth-dose-like curves.
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0.0, QColor(10, 24, 70));
    sky.setColorAt(1.0, QColor(30, 70, 130));
    painter.fillRect(rect(), sky);
    painter.setPen(QPen(QColor(120, 160, 220, 70), 2));
    for (int k = 0; k < 5; ++k) {
        QPainterPath curve;
        const double range = width() * (0.45 + 0.1 * k);
        curve.moveTo(0, height() * 0.72);
        curve.cubicTo(range * 0.4, height() * 0.55, range * 0.7, height() * 0.5, range, height() * 0.97);
        painter.drawPath(curve);
    }
    // Each title text twice: a red copy, then a yellow copy 15 twips up and left of it.
    const int shadow = twipsToPixels(SHADOW_OFFSET_TWIPS);
    for (const TitleLine& line : TITLE_LINES) {
        painter.setFont(timesFont(line.pointSize, true, true));
        const QRect box(0, twipsToPixels(line.topTwips), width(), twipsToPixels(540));
        painter.setPen(QColor(255, 0, 0));
        painter.drawText(box.translated(shadow, shadow), Qt::AlignHCenter | Qt::AlignTop, line.text);
        painter.setPen(QColor(255, 255, 0));
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, line.text);
    }
}

void Form5::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit exitRequested();
}

}  // namespace orvalis
