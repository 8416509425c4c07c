#pragma once
// "Commissioning": every electron depth curve of a set of water-tank exports fitted at once by
// orvalis-commission. The user picks files or a folder (each depth curve listed with its energy,
// field and detector, to be unticked if not wanted), the tolerances, whether Tolvane confirms each
// spectrum, and the output folder; the run shows a bar per beam and one for the whole, fills the
// results table as beams finish, and "Open report" shows the PDF. A row opens its beam in the
// comparison window. The window starts the program and reads what it prints: it never fits itself.
#include <QProcess>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

#include "commission/beam_inventory.h"
#include "common/message_sink.h"

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace orvalis {

class CommissioningWindow : public QWidget {
    Q_OBJECT
public:
    struct Context {
        MessageSink& messages;
        QString program;     // orvalis-commission
        QString workFolder;  // ELDAT.dat, water.csda and the basis cache
    };
    explicit CommissioningWindow(const Context& context, QWidget* parent = nullptr);
    ~CommissioningWindow() override;

    // The files and folders whose depth curves are listed (replacing the list).
    void setInputs(const std::vector<std::filesystem::path>& inputs);
    void setOutputFolder(const QString& folder);
    void start();
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }

    QTableWidget* curves() const { return curves_; }
    QTableWidget* results() const { return results_; }
    QProgressBar* overall() const { return overall_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* openReportButton() const { return openReport_; }
    QCheckBox* confirmBox() const { return confirm_; }

signals:
    // A results row was opened: the measured file and its depth curve (from 1).
    void beamOpened(const QString& path, int scan);
    // The run ended; the report exists when `reportWritten`.
    void finished(bool reportWritten);

private:
    void buildControls();
    void addFiles();
    void addFolder();
    void chooseOutput();
    void readOutput();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void openReport();
    void openRow(int row);
    QString reportPath() const;

    MessageSink& messages_;
    QString program_;
    QString workFolder_;
    QProcess process_;
    std::vector<std::filesystem::path> inputs_;
    std::vector<commission::BeamEntry> beams_;  // as listed
    std::vector<int> fittedRows_;               // rows of the results table, in the order the run numbers them
    QTableWidget* curves_ = nullptr;
    QTableWidget* results_ = nullptr;
    QLineEdit* output_ = nullptr;
    QLineEdit* title_ = nullptr;
    std::vector<QLineEdit*> tolerances_;  // R90, R80, R50, R10
    QCheckBox* confirm_ = nullptr;
    QLineEdit* confirmHistories_ = nullptr;
    QProgressBar* overall_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* openReport_ = nullptr;
    QString pending_;  // output not yet ended by a line end
};

}  // namespace orvalis
