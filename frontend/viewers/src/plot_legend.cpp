#include "viewers/plot_legend.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include "widgets/palette.h"
#include "widgets/twips.h"

namespace orvalis {
namespace {

constexpr int STROKE_WIDTH_PX = 28;
constexpr int STROKE_HEIGHT_PX = 8;
constexpr int NAME_WIDTH_MAX_PX = 190;  // longer names are cut in the middle; the accessible name has them whole

const NamedColor& shadeOf(const viewers::CurveStyle& style) {
    const std::size_t shade = style.shade % viewers::SHADES_PER_KIND;
    switch (style.kind) {
    case viewers::CurveKind::Measured: return BLUE_FAMILY[shade];
    case viewers::CurveKind::Calculated: return RED_FAMILY[shade];
    case viewers::CurveKind::Fitted: break;
    }
    return GREEN_FAMILY[shade];
}

const char* shadeName(const viewers::CurveStyle& style) { return shadeOf(style).name; }

QPixmap stroke(const viewers::CurveStyle& style) {
    QPixmap pixmap(STROKE_WIDTH_PX, STROKE_HEIGHT_PX);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QPen pen(PlotLegend::colorOf(style), 2);
    pen.setStyle(PlotLegend::penStyleOf(style.pattern));
    painter.setPen(pen);
    painter.drawLine(1, STROKE_HEIGHT_PX / 2, STROKE_WIDTH_PX - 2, STROKE_HEIGHT_PX / 2);
    return pixmap;
}

}  // namespace

PlotLegend::PlotLegend(QWidget* plot) : QFrame(plot) {
    setObjectName(QStringLiteral("PlotLegend"));
    setAccessibleName(QStringLiteral("Legend of the depth dose plot"));
    setAttribute(Qt::WA_TransparentForMouseEvents);  // the cursor read-out goes on underneath
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 255, 255, 230));
    setPalette(colours);
    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(4, 2, 4, 2);
    grid_->setHorizontalSpacing(4);
    grid_->setVerticalSpacing(0);
    hide();
}

QColor PlotLegend::colorOf(const viewers::CurveStyle& style) { return shadeOf(style).color; }

Qt::PenStyle PlotLegend::penStyleOf(viewers::LinePattern pattern) {
    switch (pattern) {
    case viewers::LinePattern::Solid: return Qt::SolidLine;
    case viewers::LinePattern::Dashed: return Qt::DashLine;
    case viewers::LinePattern::Dotted: return Qt::DotLine;
    }
    return Qt::SolidLine;
}

void PlotLegend::showEntries(const std::vector<viewers::LegendEntry>& entries, QPoint topRight) {
    for (QLabel* label : strokes_) delete label;
    for (QLabel* label : names_) delete label;
    strokes_.clear();
    names_.clear();
    description_ = QString::fromStdString(viewers::legendDescription(entries, &shadeName));
    const QFont font = timesFont(8);
    const QFontMetrics metrics(font);
    const QStringList lines = description_.split(QLatin1Char('\n'));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        auto* strokeLabel = new QLabel(this);
        strokeLabel->setPixmap(stroke(entries[k].style));
        strokeLabel->setAccessibleName(QString::fromLatin1(shadeName(entries[k].style)));
        auto* name = new QLabel(this);
        name->setFont(font);
        const QString whole = QString::fromStdString(entries[k].name);
        name->setText(metrics.elidedText(whole, Qt::ElideMiddle, NAME_WIDTH_MAX_PX));
        name->setAccessibleName(lines.value(static_cast<qsizetype>(k)));
        const int row = static_cast<int>(k);
        grid_->addWidget(strokeLabel, row, 0);
        grid_->addWidget(name, row, 1);
        strokeLabel->show();  // children added to a legend already shown stay hidden otherwise
        name->show();
        strokes_.push_back(strokeLabel);
        names_.push_back(name);
    }
    setAccessibleDescription(description_);
    setVisible(!entries.empty());
    if (entries.empty()) return;
    grid_->activate();
    adjustSize();
    move(topRight.x() - width(), topRight.y());
}

}  // namespace orvalis
