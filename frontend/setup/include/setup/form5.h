#pragma once
// The main menu "Orvalis Ver.2": the program's title over a background picture and four
// buttons. It only tells the application which command was chosen.
#include <QWidget>

class QPushButton;

namespace orvalis {

class Form5 : public QWidget {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);

signals:
    void spectrumEstimationRequested();
    void spectrumDisplayRequested();
    void electronKernelRequested();
    void exitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Closing the main menu ends the program like "Exit", so that no hidden window keeps it alive.
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* addButton(const char* name, const QString& caption, const QString& accessible, int topPx);
};

}  // namespace orvalis
