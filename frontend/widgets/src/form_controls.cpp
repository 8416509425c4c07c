#include "widgets/form_controls.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "widgets/twips.h"

namespace orvalis {

void setUpWindowFrame(QWidget& window, const WindowFrame& frame) {
    window.setObjectName(QString::fromLatin1(frame.formName));
    window.setWindowTitle(QString::fromLatin1(frame.caption));
    window.setAccessibleName(QString::fromLatin1(frame.accessibleName));
    window.setFixedSize(twipsToPixels(frame.widthTwips), twipsToPixels(frame.heightTwips));
}

QLabel* addLabel(QWidget* parent, const QString& text, int leftTwips, int topTwips, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->move(twipsToPixels(leftTwips), twipsToPixels(topTwips));
    label->adjustSize();
    return label;
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, QRect twips, double pointSize,
                       const QString& accessibleName) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    if (!accessibleName.isEmpty()) button->setAccessibleName(accessibleName);
    button->setFont(timesFont(pointSize));
    button->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    return button;
}

}  // namespace orvalis
