#pragma once
// The Beta model written out beside the spectrum plot: the density f(x) over the Beta
// function, and the Beta function as an integral. Static text only.
#include <QWidget>

namespace orvalis {

class BetaFormula : public QWidget {
    Q_OBJECT
public:
    explicit BetaFormula(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace orvalis
