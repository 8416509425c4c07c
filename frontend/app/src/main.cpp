// Orvalis, the desktop front end: a main menu, the calculation set-up and the result viewers.
#include <QApplication>
#include <QDir>
#include <QFile>

#include <iostream>
#include <optional>
#include <system_error>

#include <filesystem>

#include "app/orvalis_app.h"
#include "common/work_folder_setup.h"
#include "engine/program_info.h"
#include "widgets/native_path.h"
#include "widgets/qt_message_sink.h"
#include "widgets/qt_program_launcher.h"

namespace {

const engine::ProgramHelp HELP{
    "Orvalis", "estimation of the spectrum and kernel of a high-energy electron beam",
    "usage: Orvalis [WORK_FOLDER]\n"
    "  The desktop front end: shapes a Beta spectrum, runs the depth-dose simulator Tolvane and the\n"
    "  kernel simulator Brisella on it, and compares the calculated depth dose with a measured one.\n"
    "  Run files and results are written into the work folder: WORK_FOLDER when given, else the\n"
    "  current folder when it holds ELDAT.dat, else ~/Orvalis. A work folder that does not exist is\n"
    "  created, and ELDAT.dat and water.csda are copied into it from the installation when they are\n"
    "  missing; a file already there is never replaced. The simulators are looked for beside Orvalis\n"
    "  first, then on the PATH.\n"};

}  // namespace

int main(int argc, char* argv[]) {
    if (const auto status = engine::answerInformationRequest({argv + 1, argv + argc}, HELP, std::cout)) return *status;
    QApplication application(argc, argv);
    QApplication::setApplicationName("Orvalis");
    QApplication::setApplicationVersion(engine::programVersion());
    // Windows are hidden, never closed, so the program ends only through "Exit".
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt has taken its own options out of argv; what is left is the work folder, taken as the
    // file system's bytes (a folder name need not be UTF-8).
    std::optional<std::filesystem::path> givenFolder;
    if (argc > 1) givenFolder = std::filesystem::path(argv[1]);
    std::error_code here;
    const std::filesystem::path workFolder = std::filesystem::absolute(orvalis::chooseWorkFolder(
        givenFolder, std::filesystem::current_path(here), orvalis::nativePath(QDir::homePath())));
    const std::filesystem::path dataFolder =
        (orvalis::nativePath(QApplication::applicationDirPath()) / ORVALIS_DATA_FOLDER_FROM_PROGRAM).lexically_normal();
    const auto preparation = orvalis::prepareWorkFolder(workFolder, dataFolder);
    const std::string notice = orvalis::preparationMessage(preparation, workFolder, dataFolder);
    if (!notice.empty()) std::cerr << "Orvalis: " << notice << std::endl;
    // The simulators and every relative name the windows use start from the work folder.
    std::error_code error;
    std::filesystem::current_path(workFolder, error);

    orvalis::QtMessageSink messages;
    orvalis::QtProgramLauncher launcher(&messages);
    orvalis::OrvalisApp app(messages, launcher, workFolder, [] { QCoreApplication::exit(0); });
    app.start();
    if (!notice.empty()) {
        const bool problem = !preparation.failures.empty() || !preparation.blocked.empty() ||
                             !preparation.missing.empty();
        app.showNotice(notice, problem);
    }
    return QApplication::exec();
}
