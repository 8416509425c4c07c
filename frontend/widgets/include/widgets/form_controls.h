#pragma once
// Controls placed on a window at positions given in twips, as the windows' layouts state them.
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace orvalis {

// A static label with its top-left corner at (leftTwips, topTwips), sized to its text.
QLabel* addLabel(QWidget* parent, const QString& text, int leftTwips, int topTwips, const QFont& font);

// A push button named `name` (the control's name in the window, e.g. "Command2") in the Times font.
QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, QRect twips, double pointSize,
                       const QString& accessibleName = QString());

}  // namespace orvalis
