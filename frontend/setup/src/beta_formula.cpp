#include "setup/beta_formula.h"

#include <QFontMetrics>
#include <QPainter>

#include "widgets/twips.h"

namespace orvalis {
namespace {

const QString ALPHA = QString(QChar(0x03B1));
const QString BETA = QString(QChar(0x03B2));
const QString INTEGRAL = QString(QChar(0x222B));

// Draws base text, then a raised exponent; returns the x after both.
int drawPower(QPainter& p, int x, int baseline, const QString& base, const QString& exponent, const QFont& font,
              const QFont& small) {
    p.setFont(font);
    p.drawText(x, baseline, base);
    x += QFontMetrics(font).horizontalAdvance(base);
    p.setFont(small);
    p.drawText(x, baseline - QFontMetrics(font).ascent() / 2, exponent);
    return x + QFontMetrics(small).horizontalAdvance(exponent) + 2;
}

// "B(α,β)" with the Greek letters in the Japanese Gothic font.
int drawBetaFunction(QPainter& p, int x, int baseline, const QFont& font, const QFont& greek) {
    const auto part = [&](const QString& text, const QFont& f) {
        p.setFont(f);
        p.drawText(x, baseline, text);
        x += QFontMetrics(f).horizontalAdvance(text);
    };
    part("B(", font);
    part(ALPHA, greek);
    part(",", font);
    part(BETA, greek);
    part(")", font);
    return x;
}

}  // namespace

BetaFormula::BetaFormula(QWidget* parent) : QWidget(parent) {
    setObjectName("BetaFormula");
    setAccessibleName("Beta probability distribution formula");
}

void BetaFormula::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::black);
    const QFont heading = timesFont(14.25, true);
    const QFont font = timesFont(14.25);
    const QFont small = timesFont(9.75);
    const QFont greek = gothicFont(13.5);
    const QFont greekSmall = gothicFont(9.0);

    p.setFont(heading);
    p.drawText(0, 22, "Beta probability distribution");

    // f(x) = x^(α-1) (1-x)^(β-1) / B(α,β)
    const int numeratorBase = 60;
    p.setFont(font);
    p.drawText(10, numeratorBase + 16, " f(x)=");
    const int fractionLeft = 10 + QFontMetrics(font).horizontalAdvance(" f(x)=") + 4;
    int x = drawPower(p, fractionLeft, numeratorBase, "x", ALPHA + "-1", font, greekSmall);
    x = drawPower(p, x + 6, numeratorBase, "(1-x)", BETA + "-1", font, greekSmall);
    p.drawLine(fractionLeft, numeratorBase + 10, x, numeratorBase + 10);
    const int denominatorWidth = QFontMetrics(font).horizontalAdvance("B(a,b)");
    drawBetaFunction(p, fractionLeft + (x - fractionLeft - denominatorWidth) / 2, numeratorBase + 34, font, greek);

    // B(α,β) = ∫0..1 t^(α-1) (1-t)^(β-1) dt
    p.setFont(heading);
    p.drawText(0, 140, "Beta function");
    const int baseline = 182;
    x = drawBetaFunction(p, 10, baseline, font, greek);
    p.setFont(font);
    p.drawText(x, baseline, "=");
    x += QFontMetrics(font).horizontalAdvance("=") + 4;
    QFont integralFont = font;
    integralFont.setPointSizeF(22);
    p.setFont(integralFont);
    p.drawText(x, baseline + 6, INTEGRAL);
    const int integralWidth = QFontMetrics(integralFont).horizontalAdvance(INTEGRAL);
    p.setFont(small);
    p.drawText(x + integralWidth, baseline + 8, "0");
    p.drawText(x + integralWidth, baseline - 18, "1");
    x += integralWidth + 12;
    x = drawPower(p, x, baseline, "t", ALPHA + "-1", font, greekSmall);
    x = drawPower(p, x + 6, baseline, "(1-t)", BETA + "-1", font, greekSmall);
    p.setFont(font);
    p.drawText(x + 4, baseline, "dt");
}

}  // namespace orvalis
