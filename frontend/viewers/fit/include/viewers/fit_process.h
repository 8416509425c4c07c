#pragma once
// The one owner of the orvalis-fit process, for the Beta and the free-form model alike: it starts
// the program on a request in the work folder, follows its PROGRESS lines, reads its RESULT lines
// and notes, cancels it, and says how it ended. A fit counts as done only when the program exited
// normally with status 0, was not cancelled, and printed the whole result of its model: a crash, a
// kill or a missing line is a failure. A child still running when its owner goes is killed.
#include <QObject>
#include <QProcess>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "viewers/free_fit_run.h"
#include "viewers/spectrum_fit_run.h"

namespace orvalis {

struct FitOutcome {
    bool succeeded = false;
    bool cancelled = false;
    bool failedToStart = false;
    QString error;                                // a failed fit: its standard error, or else its last message line
    QString note;                                 // a "Note:" line of the fit
    std::optional<viewers::FittedSpectrum> beta;  // the Beta model's result
    std::vector<viewers::FittedLevel> levels;     // the Beta model's R-values
    std::optional<viewers::FreeFitView> free;     // the free-form model's result
};

class FitProcess : public QObject {
    Q_OBJECT
public:
    // program: path of orvalis-fit; workFolder: where it runs (ELDAT.dat, water.csda, its cache).
    FitProcess(QString program, QString workFolder, QObject* parent = nullptr);
    ~FitProcess() override;

    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    // The child's process id while it runs, else 0.
    qint64 processId() const { return process_.processId(); }
    // The outcome of the last fit that ended.
    const FitOutcome& outcome() const { return outcome_; }

    // Starts a fit; false (and nothing started) while another one runs. `finished` follows, also
    // when the program cannot be started.
    bool start(const viewers::FitRequest& request);
    // Stops a running fit; `finished` follows with a cancelled outcome.
    void cancel();

signals:
    void progressed(int percent);
    void finished(const orvalis::FitOutcome& outcome);

private:
    void readOutput();
    void processEnded(int exitCode, QProcess::ExitStatus status);

    QString program_;
    QString workFolder_;
    QProcess process_;
    viewers::FitModel model_ = viewers::FitModel::Beta;
    QByteArray pending_;
    std::string output_;  // every line of the fit's standard output
    QString lastMessage_;
    bool cancelled_ = false;
    FitOutcome outcome_;
};

}  // namespace orvalis
