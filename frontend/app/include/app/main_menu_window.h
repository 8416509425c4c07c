#pragma once
// The main menu "Orvalis Ver.2": the program's title over a background picture and four
// buttons. It only tells the application which command was chosen. Its context menu (and F1)
// holds "About Orvalis".
#include <QWidget>

class QPushButton;

namespace orvalis {

class MainMenuWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainMenuWindow(QWidget* parent = nullptr);

signals:
    void spectrumEstimationRequested();
    void spectrumDisplayRequested();
    void electronKernelRequested();
    void exitRequested();
    // "About Orvalis" from the window's context menu or F1: the version for the record.
    void aboutRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Closing the main menu ends the program like "Exit", so that no hidden window keeps it alive.
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* addMenuButton(const char* name, const QString& caption, const QString& accessible, int topTwips);
};

}  // namespace orvalis
