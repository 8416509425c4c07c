#pragma once
// The automatic spectrum fit beside the comparison window: a "Fit spectrum" button in a free corner
// of the window (enabled once a measured file is loaded) that opens a small window of its own; its
// "Start fit" runs the orvalis-fit program as a process with the Beta or the free-form model chosen
// there, follows its progress with a bar and a cancel button, and draws the fitted curve dashed in a
// third colour on the comparison plot. A Beta result shows alpha, beta, the maximum energy, the
// residual and the R-values and offers to set them in the set-up window; a free-form result shows
// its figures and its spectrum, with the two buttons that run that spectrum in Tolvane or Brisella.
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

#include "common/message_sink.h"
#include "common/program_launcher.h"
#include "viewers/free_fit_run.h"
#include "viewers/spectrum_fit_run.h"
#include "widgets/palette.h"

class QCheckBox;
class QGridLayout;
class QRadioButton;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace orvalis {

class ComparisonWindow;
class FreeSpectrumView;

class SpectrumFitPanel : public QWidget {
    Q_OBJECT
public:
    static inline const QColor FITTED_CURVE_COLOR = FITTED_GREEN;  // third colour, beside red and blue

    // Where the fit runs and what its results talk to.
    struct Context {
        MessageSink& messages;      // failures of a free-form spectrum's runs
        ProgramLauncher& launcher;  // starts Tolvane or Brisella, as the set-up window does
        QString program;            // path of orvalis-fit
        QString workFolder;         // where it runs: ELDAT.dat, water.csda, its cache, the exchange files
    };

    // setupMaxEnergy: the set-up window's maximum energy, if it is open; applyToSetup sets the
    // set-up window's scroll bars and maximum energy to a fitted Beta spectrum.
    SpectrumFitPanel(ComparisonWindow& window, Context context, std::function<std::optional<double>()> setupMaxEnergy,
                     std::function<void(const viewers::FittedSpectrum&)> applyToSetup);
    ~SpectrumFitPanel() override;

    QPushButton* fitButton() const { return fitButton_; }
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    const std::optional<viewers::FittedSpectrum>& result() const { return result_; }
    const std::optional<viewers::FreeFitView>& freeResult() const { return freeResult_; }
    FreeSpectrumView* freeSpectrum() const { return freeView_; }
    viewers::FitModel model() const;

public slots:
    void startFit();
    void cancelFit();

signals:
    void fitFinished(bool succeeded);

private:
    void buildControls();
    void buildPanel();
    void buildModelChoice(QGridLayout* grid);
    void modelChanged();
    void showMaxEnergy();
    bool showsFittedMaxEnergy() const;
    void measuredLoaded(const QString& path);
    bool takeResult();
    void readOutput();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    bool drawFittedCurve();  // false when the curve file cannot be read
    void showResult();

    ComparisonWindow& window_;
    Context context_;
    std::function<std::optional<double>()> setupMaxEnergy_;
    std::function<void(const viewers::FittedSpectrum&)> applyToSetup_;
    QProcess process_;
    QString measuredPath_;
    QString curvePath_;
    viewers::FitRequest request_;  // of the fit running or shown
    QByteArray pending_;
    std::string output_;  // every line of the fit's standard output
    QString lastMessage_;
    QString note_;  // a "Note:" line of the fit, shown with the result
    std::optional<viewers::FittedSpectrum> result_;
    std::vector<viewers::FittedLevel> levels_;
    std::optional<viewers::FreeFitView> freeResult_;
    bool cancelled_ = false;

    QPointer<QPushButton> fitButton_;  // a child of the comparison window, removed with the panel
    QLabel* fileLabel_ = nullptr;      // the measured file
    QRadioButton* betaModel_ = nullptr;
    QRadioButton* freeModel_ = nullptr;
    QCheckBox* fromRange_ = nullptr;  // Emax from the measured Rp, or as typed
    QLineEdit* maxEnergy_ = nullptr;
    QString typedMaxEnergy_;      // typed, or the set-up window's; the box shows a free-form fit's own instead
    QCheckBox* fixed_ = nullptr;  // Beta model: fit alpha and beta alone
    QLineEdit* span_ = nullptr;   // Beta model: how far Emax may move
    QPushButton* start_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* resultLabel_ = nullptr;         // the figures of the result
    QPushButton* apply_ = nullptr;          // a Beta result into the set-up window
    FreeSpectrumView* freeView_ = nullptr;  // a free-form result's spectrum and its runs
};

}  // namespace orvalis
