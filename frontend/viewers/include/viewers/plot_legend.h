#pragma once
// The small legend in the top right corner of the depth-dose plot: a stroke of each curve's colour
// and line pattern beside the name of its file. Every row carries an accessible name ("measured
// curve, navy, solid: water.csv"), and the legend does not take the plot's mouse moves.
#include <QColor>
#include <QFrame>
#include <QString>

#include <vector>

#include "viewers/curve_legend.h"

class QGridLayout;
class QLabel;

namespace orvalis {

class PlotLegend : public QFrame {
    Q_OBJECT
public:
    explicit PlotLegend(QWidget* plot);

    // The entries of the plot's curves, in the order drawn; hidden when there are none. The
    // legend keeps `topRight` (in the plot's pixels) as its top right corner.
    void showEntries(const std::vector<viewers::LegendEntry>& entries, QPoint topRight);

    int rowCount() const { return static_cast<int>(names_.size()); }
    QLabel* nameLabel(int row) const { return names_[static_cast<std::size_t>(row)]; }
    QString description() const { return description_; }

    static QColor colorOf(const viewers::CurveStyle& style);
    static Qt::PenStyle penStyleOf(viewers::LinePattern pattern);

private:
    QGridLayout* grid_ = nullptr;
    std::vector<QLabel*> strokes_;
    std::vector<QLabel*> names_;
    QString description_;
};

}  // namespace orvalis
