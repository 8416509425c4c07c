#pragma once
// The automatic spectrum fit beside the comparison window: a "Fit spectrum" button in a free corner
// of the window (enabled once a measured file is loaded), and a small window of its own that runs
// the orvalis-fit program as a process, follows its progress with a bar and a cancel button, draws
// the fitted curve dashed in a third colour on the comparison plot, shows alpha, beta, the maximum
// energy, the residual and the R-values, and offers to set them in the set-up window.
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

#include "viewers/spectrum_fit_run.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace orvalis {

class PddComparisonWindow;

class SpectrumFitPanel : public QWidget {
    Q_OBJECT
public:
    static inline const QColor FITTED_CURVE_COLOR{0, 160, 0};  // third colour, beside red and blue

    // program: path of orvalis-fit; workFolder: where it runs (ELDAT.dat, water.csda, its cache).
    // setupMaxEnergy: the set-up window's maximum energy, if it is open; applyToSetup sets the
    // set-up window's scroll bars and maximum energy to a fitted spectrum.
    SpectrumFitPanel(PddComparisonWindow& window, QString program, QString workFolder,
                     std::function<std::optional<double>()> setupMaxEnergy,
                     std::function<void(const viewers::FittedSpectrum&)> applyToSetup);
    ~SpectrumFitPanel() override;

    QPushButton* fitButton() const { return fitButton_; }
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    const std::optional<viewers::FittedSpectrum>& result() const { return result_; }

public slots:
    void startFit();
    void cancelFit();

signals:
    void fitFinished(bool succeeded);

private:
    void buildControls();
    void buildPanel();
    void measuredLoaded(const QString& path);
    void readOutput();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    bool drawFittedCurve();  // false when the curve file cannot be read
    void showResult();

    PddComparisonWindow& window_;
    QString program_;
    QString workFolder_;
    std::function<std::optional<double>()> setupMaxEnergy_;
    std::function<void(const viewers::FittedSpectrum&)> applyToSetup_;
    QProcess process_;
    QString measuredPath_;
    QString curvePath_;
    QByteArray pending_;
    QString lastMessage_;
    QString note_;  // a "Note:" line of the fit, shown with the result
    std::optional<viewers::FittedSpectrum> result_;
    std::vector<viewers::FittedLevel> levels_;
    bool cancelled_ = false;

    QPointer<QPushButton> fitButton_;  // a child of the comparison window, removed with the panel
    QLabel* fileLabel_ = nullptr;
    QCheckBox* fromRange_ = nullptr;
    QLineEdit* maxEnergy_ = nullptr;
    QCheckBox* fixed_ = nullptr;
    QLineEdit* span_ = nullptr;
    QPushButton* start_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* resultLabel_ = nullptr;
    QPushButton* apply_ = nullptr;
};

}  // namespace orvalis
