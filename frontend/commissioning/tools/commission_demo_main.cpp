// commission-demo: the Commissioning window run on a folder for the user guide's screenshot.
// Run in a work folder (ELDAT.dat, water.csda) on a display, with orvalis-commission beside it:
//   commission-demo FOLDER SCREENSHOT.png
// lists the folder's depth curves, presses "Start", waits for the run and saves the window's picture.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <filesystem>
#include <iostream>

#include "commissioning/commissioning_window.h"
#include "widgets/native_path.h"
#include "widgets/qt_message_sink.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: commission-demo FOLDER SCREENSHOT.png\n";
        return 1;
    }
    orvalis::QtMessageSink messages;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("orvalis-commission"),
                                                           {QCoreApplication::applicationDirPath()});
    orvalis::CommissioningWindow window({messages, program, QDir::currentPath()});
    window.setInputs({std::filesystem::path(argv[1])});
    window.show();
    const QString screenshot = orvalis::pathText(std::filesystem::absolute(argv[2]));
    QObject::connect(&window, &orvalis::CommissioningWindow::finished, [&](bool) {
        QTimer::singleShot(500, [&] {
            window.grab().save(screenshot);
            QCoreApplication::quit();
        });
    });
    QTimer::singleShot(300, [&] { window.startButton()->click(); });
    return QApplication::exec();
}
