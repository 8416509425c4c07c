#include "viewers/fit_process.h"

#include "widgets/native_path.h"

namespace orvalis {

FitProcess::FitProcess(QString program, QString workFolder, QObject* parent)
    : QObject(parent), program_(std::move(program)), workFolder_(std::move(workFolder)) {
    connect(&process_, &QProcess::readyReadStandardOutput, this, &FitProcess::readOutput);
    connect(&process_, &QProcess::finished, this, &FitProcess::processEnded);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) processEnded(-1, QProcess::CrashExit);
    });
}

FitProcess::~FitProcess() {
    // Nobody is left to hear how it ended.
    process_.disconnect(this);
    if (isRunning()) {
        process_.kill();
        process_.waitForFinished();
    }
}

bool FitProcess::start(const viewers::FitRequest& request) {
    if (isRunning()) return false;
    model_ = request.model;
    pending_.clear();
    output_.clear();
    lastMessage_.clear();
    cancelled_ = false;
    outcome_ = FitOutcome{};
    startNatively(process_, program_, viewers::fitArguments(request), nativePath(workFolder_));
    return true;
}

void FitProcess::cancel() {
    if (!isRunning()) return;
    cancelled_ = true;
    process_.kill();
}

void FitProcess::readOutput() {
    pending_ += process_.readAllStandardOutput();
    for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
        const std::string line = pending_.left(end).trimmed().toStdString();
        pending_.remove(0, end + 1);
        output_ += line + "\n";
        if (const auto percent = viewers::fitProgressPercent(line))
            emit progressed(*percent);
        else if (const auto fitted = viewers::parseFitResult(line))
            outcome_.beta = fitted;
        else if (const auto level = viewers::parseFitLevel(line))
            outcome_.levels.push_back(*level);
        else if (line.rfind("Note:", 0) == 0)
            outcome_.note = QString::fromStdString(line);
        else if (!line.empty() && line.rfind("RESULT", 0) != 0)
            lastMessage_ = QString::fromStdString(line);
    }
}

void FitProcess::processEnded(int exitCode, QProcess::ExitStatus status) {
    readOutput();
    outcome_.cancelled = cancelled_;
    outcome_.failedToStart = status == QProcess::CrashExit && exitCode == -1 && !cancelled_ &&
                             process_.error() == QProcess::FailedToStart;
    // The result of the model asked for: a Beta spectrum from its RESULT lines as they came, a
    // free-form one from the whole output.
    if (model_ == viewers::FitModel::Free) outcome_.free = viewers::parseFreeFit(output_);
    const bool complete = model_ == viewers::FitModel::Beta ? outcome_.beta.has_value() : outcome_.free.has_value();
    outcome_.succeeded = !cancelled_ && status == QProcess::NormalExit && exitCode == 0 && complete;
    if (!outcome_.succeeded) {
        outcome_.beta.reset();
        outcome_.free.reset();
        outcome_.levels.clear();
        const QString error = QString::fromLocal8Bit(process_.readAllStandardError()).trimmed();
        outcome_.error = error.isEmpty() ? lastMessage_ : error;
    }
    emit finished(outcome_);
}

}  // namespace orvalis
