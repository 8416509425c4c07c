#include "widgets/qt_program_launcher.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/program_search.h"

namespace orvalis {
namespace {

constexpr int STATUS_POLL_MS = 200;
constexpr int START_WAIT_MS = 10000;

QString toQString(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

std::string environmentPath() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "";
}

std::filesystem::path ownProgramFolder() {
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
}

#ifndef _WIN32
// The run's log in a folder others may write to: a link or any other non-regular file at its name
// is refused, never followed, and nothing is created through it; an existing regular file with a
// single name is emptied through the descriptor. Returns the descriptor or -1 with `reason` set.
int openRunLog(const std::filesystem::path& path, std::string& reason) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        reason = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        reason = "it is not a plain file of its own";
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}
#endif

}  // namespace

QtProgramLauncher::QtProgramLauncher(MessageSink* failures)
    : QtProgramLauncher(ownProgramFolder(), environmentPath(), true, failures) {}

QtProgramLauncher::QtProgramLauncher(std::filesystem::path ownFolder, std::string searchPath, bool useTerminal,
                                     MessageSink* failures)
    : ownFolder_(std::move(ownFolder)),
      searchPath_(std::move(searchPath)),
      useTerminal_(useTerminal),
      failures_(failures) {
    statusPoll_.setInterval(STATUS_POLL_MS);
    QObject::connect(&statusPoll_, &QTimer::timeout, &owner_, [this] { checkTerminalRuns(); });
}

QtProgramLauncher::~QtProgramLauncher() {
    statusPoll_.stop();
    // Destroying a QProcess kills its program; a run still going is left to finish on its own.
    for (QProcess* process : owner_.findChildren<QProcess*>()) {
        QObject::disconnect(process, nullptr, nullptr, nullptr);
        if (process->state() != QProcess::NotRunning) process->setParent(nullptr);
    }
}

void QtProgramLauncher::reportFailure(const std::string& text) {
    if (failures_ != nullptr) failures_->warn(" " + text);
}

QProcess* QtProgramLauncher::newProcess(const std::filesystem::path& workingFolder, int outputDescriptor) {
    auto* process = new QProcess(&owner_);
    process->setStandardInputFile(QProcess::nullDevice());
#ifndef _WIN32
    // The folder is entered by its own bytes in the child: a name that is not valid UTF-8 would not
    // survive the trip through a QString.
    const std::string folder = workingFolder.string();
    if (outputDescriptor >= 0) {
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
    } else {
        process->setProcessChannelMode(QProcess::ForwardedChannels);
    }
    process->setChildProcessModifier([folder, outputDescriptor] {
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        if (outputDescriptor >= 0) {
            ::dup2(outputDescriptor, STDOUT_FILENO);
            ::dup2(outputDescriptor, STDERR_FILENO);
        }
    });
#else
    (void)outputDescriptor;
    process->setWorkingDirectory(toQString(workingFolder));
#endif
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return process;
}

LaunchResult QtProgramLauncher::start(const std::string& programName, const std::filesystem::path& workingFolder) {
    const std::string fileName = programName + ORVALIS_EXECUTABLE_SUFFIX;
    const auto program = findExecutable(fileName, simulatorFolders(ownFolder_, searchPath_));
    if (!program) return {false, "Cannot find the program " + fileName + " beside Orvalis or on the search path."};
    std::error_code error;
    if (!std::filesystem::is_directory(workingFolder, error))
        return {false, "Cannot run " + fileName + " in " + workingFolder.string() + ": the folder is not there."};

#ifndef _WIN32
    if (useTerminal_) {
        bool terminalFound = false;
        LaunchResult result = startInTerminal(programName, *program, workingFolder, terminalFound);
        if (terminalFound) return result;
    }
    return startWithLog(programName, *program, workingFolder);
#else
    // Windows gives a console program a console window of its own.
    QProcess process;
    process.setProgram(toQString(*program));
    process.setWorkingDirectory(toQString(workingFolder));
    if (!process.startDetached()) return {false, "Cannot start the program " + fileName + "."};
    return {true, {}};
#endif
}

LaunchResult QtProgramLauncher::startInTerminal(const std::string& programName, const std::filesystem::path& program,
                                                const std::filesystem::path& workingFolder, bool& terminalFound) {
    for (const std::string& terminal : terminalCandidates()) {
        const auto terminalPath = findExecutable(terminal, splitSearchPath(searchPath_));
        if (!terminalPath) continue;
        terminalFound = true;
        if (!statusFolder_) statusFolder_ = std::make_unique<QTemporaryDir>();
        if (!statusFolder_->isValid()) return {false, "Cannot make a private folder to follow " + programName + "."};
        const std::filesystem::path statusFile =
            QFile::encodeName(statusFolder_->filePath(QStringLiteral("run-%1.status").arg(++runCount_))).toStdString();
        QStringList arguments;
        for (const std::string& argument :
             terminalArguments(terminal, pausingCommand(program, programName, statusFile)))
            arguments << QFile::decodeName(QByteArray::fromStdString(argument));
        QProcess* process = newProcess(workingFolder, -1);
        process->start(toQString(*terminalPath), arguments);
        if (!process->waitForStarted(START_WAIT_MS)) {
            const std::string reason = process->errorString().toStdString();
            delete process;
            return {false, "Cannot start " + terminal + " to run " + programName + ": " + reason + "."};
        }
        terminalRuns_.push_back({programName, statusFile});
        statusPoll_.start();
        return {true, {}};
    }
    return {false, {}};
}

void QtProgramLauncher::checkTerminalRuns() {
    for (std::size_t k = 0; k < terminalRuns_.size();) {
        std::ifstream file(terminalRuns_[k].statusFile);
        int status = 0;
        if (!(file >> status)) {
            ++k;
            continue;
        }
        const TerminalRun run = terminalRuns_[k];
        terminalRuns_.erase(terminalRuns_.begin() + static_cast<std::ptrdiff_t>(k));
        file.close();
        std::filesystem::remove(run.statusFile);
        if (terminalRuns_.empty()) statusPoll_.stop();
        if (status != 0) reportFailure(failedRunMessage(run.programName, status, "its terminal window"));
    }
}

LaunchResult QtProgramLauncher::startWithLog(const std::string& programName, const std::filesystem::path& program,
                                             const std::filesystem::path& workingFolder) {
#ifndef _WIN32
    const std::filesystem::path logPath = workingFolder / (programName + ".log");
    std::string reason;
    const int log = openRunLog(logPath, reason);
    if (log < 0)
        return {false, "Cannot write the log " + logPath.string() + " of " + programName + ": " + reason + "."};
    QProcess* process = newProcess(workingFolder, log);
    process->start(toQString(program), {});
    const bool started = process->waitForStarted(START_WAIT_MS);
    ::close(log);
    if (!started) {
        const std::string message = "Cannot start the program " + programName + ": " +
                                    process->errorString().toStdString() + ".";
        delete process;
        return {false, message};
    }
    QObject::connect(process, &QProcess::finished, &owner_,
                     [this, programName, logPath](int exitCode, QProcess::ExitStatus exitStatus) {
                         if (exitStatus == QProcess::CrashExit)
                             reportFailure(failedRunMessage(programName, -1, logPath.string()));
                         else if (exitCode != 0)
                             reportFailure(failedRunMessage(programName, exitCode, logPath.string()));
                     });
    return {true, {}};
#else
    (void)programName, (void)program, (void)workingFolder;
    return {false, {}};
#endif
}

}  // namespace orvalis
