#include "app/main_menu_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "widgets/form_controls.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

constexpr WindowFrame FRAME{"Form5", "Orvalis Ver.2", "Main menu", 9000, 7200};
// The four buttons stand in one column of 3600 x 540 twips from the left edge at 2700 twips.
constexpr QRect BUTTON_COLUMN_TWIPS{2700, 0, 3600, 540};
constexpr int TITLE_HEIGHT_TWIPS = 540;
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

MainMenuWindow::MainMenuWindow(QWidget* parent) : QWidget(parent) {
    setUpWindowFrame(*this, FRAME);
    QPushButton* estimation = addMenuButton("Command1", "Spectrum Estimation", "Spectrum estimation", 3360);
    QPushButton* display = addMenuButton("Command3", "Spectrum Display ", "Spectrum display", 4200);
    QPushButton* kernel = addMenuButton("Command4", "Electron Kernel", "Electron kernel", 5040);
    QPushButton* exitButton = addMenuButton("Command5", "Exit", "Exit", 5880);
    connect(estimation, &QPushButton::clicked, this, &MainMenuWindow::spectrumEstimationRequested);
    connect(display, &QPushButton::clicked, this, &MainMenuWindow::spectrumDisplayRequested);
    connect(kernel, &QPushButton::clicked, this, &MainMenuWindow::electronKernelRequested);
    connect(exitButton, &QPushButton::clicked, this, &MainMenuWindow::exitRequested);
    auto* about = new QAction(QStringLiteral("About Orvalis"), this);
    about->setObjectName("aboutAction");
    about->setShortcut(QKeySequence::HelpContents);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(about, &QAction::triggered, this, &MainMenuWindow::aboutRequested);
}

QPushButton* MainMenuWindow::addMenuButton(const char* name, const QString& caption, const QString& accessible,
                                           int topTwips) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAccessibleName(accessible);
    button->setFont(timesFont(14.25, true));
    button->setGeometry(
        twipsRect(BUTTON_COLUMN_TWIPS.x(), topTwips, BUTTON_COLUMN_TWIPS.width(), BUTTON_COLUMN_TWIPS.height()));
    return button;
}

void MainMenuWindow::paintEvent(QPaintEvent*) {
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
        const QRect box(0, twipsToPixels(line.topTwips), width(), twipsToPixels(TITLE_HEIGHT_TWIPS));
        painter.setPen(QColor(255, 0, 0));
        painter.drawText(box.translated(shadow, shadow), Qt::AlignHCenter | Qt::AlignTop, line.text);
        painter.setPen(QColor(255, 255, 0));
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, line.text);
    }
}

void MainMenuWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit exitRequested();
}

}  // namespace orvalis
