#pragma once
// Controls placed on a window at positions given in twips, as the windows' layouts state them.
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace orvalis {

// A window's frame: its form name (its objectName, for tests and assistive tools), its caption, a
// readable accessible name, and the size of its client area in twips, which is fixed.
struct WindowFrame {
    const char* formName;
    const char* caption;
    const char* accessibleName;
    int widthTwips;
    int heightTwips;
};
void setUpWindowFrame(QWidget& window, const WindowFrame& frame);

// A static label with its top-left corner at (leftTwips, topTwips), sized to its text.
QLabel* addLabel(QWidget* parent, const QString& text, int leftTwips, int topTwips, const QFont& font);

// A push button named `name` (the control's name in the window, e.g. "Command2") in the Times font.
QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, QRect twips, double pointSize,
                       const QString& accessibleName = QString());

}  // namespace orvalis
