#include "widgets/qt_program_launcher.h"

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <utility>

#include "common/program_search.h"

namespace orvalis {
namespace {

QString toQString(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

std::string environmentPath() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "";
}

}  // namespace

QtProgramLauncher::QtProgramLauncher()
    : ownFolder_(QCoreApplication::applicationDirPath().toStdString()), searchPath_(environmentPath()) {}

QtProgramLauncher::QtProgramLauncher(std::filesystem::path ownFolder, std::string searchPath, bool useTerminal)
    : ownFolder_(std::move(ownFolder)), searchPath_(std::move(searchPath)), useTerminal_(useTerminal) {}

LaunchResult QtProgramLauncher::start(const std::string& programName, const std::filesystem::path& workingFolder) {
    const std::string fileName = programName + ORVALIS_EXECUTABLE_SUFFIX;
    std::vector<std::filesystem::path> folders{ownFolder_, workingFolder};
    const auto searchFolders = splitSearchPath(searchPath_);
    folders.insert(folders.end(), searchFolders.begin(), searchFolders.end());
    const auto program = findExecutable(fileName, folders);
    if (!program) {
        return {false,
                "Cannot find the program " + fileName + " beside Orvalis, in the work folder or on the search path."};
    }
    const QString folder = toQString(workingFolder);

#ifndef _WIN32
    if (useTerminal_) {
        for (const std::string& terminal : terminalCandidates()) {
            const auto terminalPath = findExecutable(terminal, searchFolders);
            if (!terminalPath) continue;
            QStringList arguments;
            for (const std::string& argument : terminalArguments(terminal, *program)) {
                arguments << QString::fromStdString(argument);
            }
            if (QProcess::startDetached(toQString(*terminalPath), arguments, folder)) return {true, {}};
            return {false, "Cannot start " + terminal + " to run " + fileName + "."};
        }
    }
#endif

    // No terminal (or Windows, where a console program gets a console window of its own).
    QProcess process;
    process.setProgram(toQString(*program));
    process.setWorkingDirectory(folder);
#ifndef _WIN32
    const QString log = toQString(workingFolder / (programName + ".log"));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(log, QIODevice::Truncate);
    process.setStandardErrorFile(log, QIODevice::Append);
#endif
    if (!process.startDetached()) return {false, "Cannot start the program " + fileName + "."};
    return {true, {}};
}

}  // namespace orvalis
