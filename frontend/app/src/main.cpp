// Orvalis, the desktop front end: a main menu, the calculation set-up and the result viewers.
#include <QApplication>
#include <QDir>

#include <filesystem>

#include "app/orvalis_app.h"
#include "widgets/qt_message_sink.h"
#include "widgets/qt_program_launcher.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Orvalis");
    // Windows are hidden, never closed, so the program ends only through "Exit".
    QApplication::setQuitOnLastWindowClosed(false);
    orvalis::QtMessageSink messages;
    orvalis::QtProgramLauncher launcher(&messages);
    orvalis::OrvalisApp app(messages, launcher, std::filesystem::current_path(), [] { QCoreApplication::exit(0); });
    app.start();
    return QApplication::exec();
}
