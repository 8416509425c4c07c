#include "widgets/qt_message_sink.h"

#include <QApplication>
#include <QMessageBox>

#include "common/message_sink.h"

namespace orvalis {

void QtMessageSink::warn(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(PROGRAM_TITLE), QString::fromStdString(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool QtMessageSink::confirm(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(PROGRAM_TITLE), QString::fromStdString(text),
                    QMessageBox::Ok | QMessageBox::Cancel, QApplication::activeWindow());
    return box.exec() == QMessageBox::Ok;
}

}  // namespace orvalis
