#include "commission_pdf.h"

#include "plot_canvas.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace commission {

namespace {

constexpr int RESOLUTION_DPI = 300;
constexpr double PAGE_WIDTH_MM = 180.0;  // A4 less the margins
const QColor MEASURED_BLUE(0, 0, 255);
const QColor MODEL_GREEN(0, 160, 0);
const QColor CALCULATED_RED(255, 0, 0);
const QColor PASS_GREEN(0, 130, 0);
const QColor FAIL_RED(200, 0, 0);

double px(double mm) { return mm / 25.4 * RESOLUTION_DPI; }

QString text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QString number(const std::optional<double>& value, int decimals) {
    return value && std::isfinite(*value) ? QString::number(*value, 'f', decimals) : QString("-");
}

// A pen moving down the page, in mm from the top of the printable area.
class Page {
public:
    explicit Page(QPainter& p) : p_(p) {}
    void font(double points, bool bold = false) {
        QFont f("Liberation Sans");
        f.setPointSizeF(points);
        f.setBold(bold);
        p_.setFont(f);
    }
    void line(const QString& s, double points = 9.0, bool bold = false, const QColor& colour = Qt::black) {
        font(points, bold);
        p_.setPen(colour);
        const QRectF box(0, px(y_), px(PAGE_WIDTH_MM), px(200));
        const QRectF used = p_.boundingRect(box, Qt::TextWordWrap, s);
        p_.drawText(box, Qt::TextWordWrap, s);
        y_ += used.height() / px(1.0) + 1.0;
    }
    // A row of cells at the given x positions (mm); colour applies to the last cell.
    void row(const QStringList& cells, const std::vector<double>& xMm, bool bold = false,
             const QColor& lastColour = Qt::black) {
        font(8.5, bold);
        for (qsizetype k = 0; k < cells.size(); ++k) {
            p_.setPen(k + 1 == cells.size() ? lastColour : QColor(Qt::black));
            p_.drawText(QPointF(px(xMm[static_cast<std::size_t>(k)]), px(y_ + 3.5)), cells[k]);
        }
        y_ += 5.0;
    }
    void skip(double mm) { y_ += mm; }
    double y() const { return y_; }
    QPainter& painter() { return p_; }

private:
    QPainter& p_;
    double y_ = 0.0;
};

struct Axes {
    QRectF box;  // pixels
    double xMax, yMin, yMax;
    QPointF at(double x, double y) const {
        return {box.left() + box.width() * x / xMax, box.bottom() - box.height() * (y - yMin) / (yMax - yMin)};
    }
};

void drawAxes(QPainter& p, const Axes& a, double xStep, double yStep, const QString& xLabel, const QString& yLabel) {
    QFont f("Liberation Sans");
    f.setPointSizeF(7);
    p.setFont(f);
    p.setPen(QPen(QColor(192, 192, 192), 1));
    for (double x = 0; x <= a.xMax + 1e-9; x += xStep) {
        p.drawLine(a.at(x, a.yMin), a.at(x, a.yMax));
        p.setPen(Qt::black);
        p.drawText(a.at(x, a.yMin) + QPointF(-px(2), px(3.5)), QString::number(x));
        p.setPen(QPen(QColor(192, 192, 192), 1));
    }
    for (double y = a.yMin; y <= a.yMax + 1e-9; y += yStep) {
        p.drawLine(a.at(0, y), a.at(a.xMax, y));
        p.setPen(Qt::black);
        p.drawText(a.at(0, y) + QPointF(-px(9), px(1)), QString::number(y));
        p.setPen(QPen(QColor(192, 192, 192), 1));
    }
    p.setPen(Qt::black);
    p.drawRect(a.box);
    p.drawText(QPointF(a.box.center().x() - px(15), a.box.bottom() + px(7)), xLabel);
    p.drawText(QPointF(a.box.left(), a.box.top() - px(1.5)), yLabel);
}

void drawCurve(QPainter& p, const Axes& a, const std::vector<double>& x, const std::vector<double>& y,
               const QPen& pen) {
    QPainterPath path;
    bool started = false;
    for (std::size_t k = 0; k < x.size() && k < y.size(); ++k) {
        if (x[k] < 0.0 || x[k] > a.xMax) continue;
        const QPointF point = a.at(x[k], std::clamp(y[k], a.yMin, a.yMax));
        if (!started)
            path.moveTo(point);
        else
            path.lineTo(point);
        started = true;
    }
    p.setPen(pen);
    p.drawPath(path);
}

double modelAt(const BeamResult& b, double depthMm) {
    const auto& z = b.modelDepthMm;
    if (z.empty() || depthMm < z.front() || depthMm > z.back()) return std::nan("");
    const auto k = static_cast<std::size_t>(std::lower_bound(z.begin(), z.end(), depthMm) - z.begin());
    if (k == 0) return b.modelPercent[0];
    const double t = (depthMm - z[k - 1]) / (z[k] - z[k - 1]);
    return b.modelPercent[k - 1] + t * (b.modelPercent[k] - b.modelPercent[k - 1]);
}

void drawDepthDose(Page& page, const BeamResult& b) {
    QPainter& p = page.painter();
    const double deepest = b.measuredDepthMm.empty() ? 100.0 : b.measuredDepthMm.back();
    const double xMax = std::clamp(std::ceil(deepest / 10.0) * 10.0, 10.0, 200.0);
    const double top = page.y() + 4.0;
    const Axes dose{QRectF(px(12), px(top), px(PAGE_WIDTH_MM - 14), px(55)), xMax, 0.0, 110.0};
    drawAxes(p, dose, xMax > 120 ? 20 : 10, 20, "", "dose (%): measured blue, model green dashed, Tolvane red");
    drawCurve(p, dose, b.measuredDepthMm, b.measuredPercent, QPen(MEASURED_BLUE, px(0.3)));
    drawCurve(p, dose, b.modelDepthMm, b.modelPercent, QPen(MODEL_GREEN, px(0.3), Qt::DashLine));
    if (!b.confirmDepthMm.empty())
        drawCurve(p, dose, b.confirmDepthMm, b.confirmPercent, QPen(CALCULATED_RED, px(0.25)));
    const Axes residual{QRectF(px(12), px(top + 62), px(PAGE_WIDTH_MM - 14), px(20)), xMax, -3.0, 3.0};
    drawAxes(p, residual, xMax > 120 ? 20 : 10, 1.5, "depth in water (mm)", "measured - model (% of maximum)");
    std::vector<double> z, d;
    for (std::size_t k = 0; k < b.measuredDepthMm.size(); ++k) {
        const double m = modelAt(b, b.measuredDepthMm[k]);
        if (std::isfinite(m)) {
            z.push_back(b.measuredDepthMm[k]);
            d.push_back(b.measuredPercent[k] - m);
        }
    }
    drawCurve(p, residual, z, d, QPen(MEASURED_BLUE, px(0.25)));
    page.skip(96);
}

void drawSpectrum(Page& page, const BeamResult& b) {
    QPainter& p = page.painter();
    if (b.spectrumEnergyMeV.empty()) return;
    const double emax = b.spectrumEnergyMeV.back();
    const double step = emax > 20 ? 5 : (emax > 8 ? 2 : 1);
    const Axes a{QRectF(px(12), px(page.y() + 4), px(PAGE_WIDTH_MM - 14), px(32)), std::ceil(emax / step) * step, 0.0,
                 1.05};
    drawAxes(p, a, step, 0.25, "energy (MeV)", "relative weight: fitted spectrum red, 95 % band grey");
    if (b.bandLow.size() == b.spectrumEnergyMeV.size() && b.bandHigh.size() == b.spectrumEnergyMeV.size()) {
        QPainterPath band;
        for (std::size_t k = 0; k < b.bandHigh.size(); ++k) {
            const QPointF point = a.at(b.spectrumEnergyMeV[k], std::min(b.bandHigh[k], 1.05));
            if (k == 0)
                band.moveTo(point);
            else
                band.lineTo(point);
        }
        for (std::size_t k = b.bandLow.size(); k-- > 0;) band.lineTo(a.at(b.spectrumEnergyMeV[k], b.bandLow[k]));
        band.closeSubpath();
        p.fillPath(band, QColor(200, 200, 200));
    }
    drawCurve(p, a, b.spectrumEnergyMeV, b.spectrumWeight, QPen(CALCULATED_RED, px(0.3)));
    page.skip(46);
}

void summaryPage(Page& page, const RunInfo& run, const std::vector<BeamResult>& beams) {
    page.line(text(run.title), 16, true);
    page.line("Linac: ______________________   Date of measurement: ______________   Report created: " +
              text(run.created));
    page.line("Orvalis " + text(run.version) + ", orvalis-commission. Tolerance (mm): R90 " +
              QString::number(run.tolerance.at("R90")) + ", R80 " + QString::number(run.tolerance.at("R80")) +
              ", R50 " + QString::number(run.tolerance.at("R50")) + ", R10 " +
              QString::number(run.tolerance.at("R10")));
    page.skip(4);
    const std::vector<double> x = {0, 38, 55, 72, 89, 104, 142, 163};
    page.row({"beam", "E (MeV)", "R50 (mm)", "Rp (mm)", "E0 (MeV)", "mean energy (MeV), 95 %", "worst (mm)", "result"},
             x, true);
    for (const BeamResult& b : beams) {
        if (!b.fitted) continue;
        auto quality = [&](const char* name) {
            for (const auto& [n, v] : b.quality)
                if (n == name) return v;
            return std::optional<double>();
        };
        QString mean = number(b.fitFigures.count("mean") ? b.fitFigures.at("mean") : std::nullopt, 2);
        if (b.intervals.count("mean"))
            mean += QString(" (%1 to %2)")
                        .arg(b.intervals.at("mean").first, 0, 'f', 2)
                        .arg(b.intervals.at("mean").second, 0, 'f', 2);
        const double worst = b.worstDifferenceMm();
        page.row({text(b.entry.label), number(b.entry.info.energyMeV, 1), number(quality("R50"), 2),
                  number(quality("Rp"), 2), number(quality("E0"), 2), mean,
                  std::isfinite(worst) ? QString::number(worst, 'f', 2) : QString("-"), b.pass() ? "pass" : "FAIL"},
                 x, false, b.pass() ? PASS_GREEN : FAIL_RED);
    }
    int skipped = 0;
    for (const BeamResult& b : beams) skipped += b.fitted ? 0 : 1;
    page.skip(3);
    page.line(QString::number(skipped) + " curves skipped: see the last page.");
}

void beamPage(Page& page, const BeamResult& b, const RunInfo& run) {
    page.line(text(b.entry.label), 14, true);
    drawDepthDose(page, b);
    drawSpectrum(page, b);
    const std::vector<double> x = {0, 22, 50, 78, 108, 135};
    QStringList heading = {"level", "measured (mm)", "model (mm)", "difference (mm)", "tolerance (mm)", "result"};
    if (b.confirmHistories) heading.insert(3, "Tolvane (mm)");
    std::vector<double> xs = x;
    if (b.confirmHistories) xs = {0, 18, 42, 66, 90, 118, 145};
    page.row(heading, xs, true);
    for (std::size_t k = 0; k < LEVEL_NAMES.size(); ++k) {
        const LevelResult& l = b.levels[k];
        QStringList cells = {LEVEL_NAMES[k],
                             number(l.measuredMm, 3),
                             number(l.modelMm, 3),
                             number(l.differenceMm, 3),
                             QString::number(run.tolerance.at(LEVEL_NAMES[k])),
                             l.pass ? "pass" : "FAIL"};
        if (b.confirmHistories) cells.insert(3, number(b.confirmLevels[k].calculatedMm, 3));
        page.row(cells, xs, false, l.pass ? PASS_GREEN : FAIL_RED);
    }
    page.skip(2);
    QString quality = "Beam quality:";
    for (const auto& [name, value] : b.quality) quality += " " + text(name) + " " + number(value, name == "G" ? 3 : 2);
    page.line(quality, 8.5);
    QString fit = "Fit (" + text(b.model) + "):";
    for (const auto& [name, value] : b.fitFigures)
        fit += " " + text(name) + " " +
               (name == "smooth" && value ? QString::number(*value, 'e', 3) : number(value, 3));
    for (const auto& [name, range] : b.intervals)
        fit += QString("; %1 95 %: %2 to %3").arg(text(name)).arg(range.first, 0, 'f', 2).arg(range.second, 0, 'f', 2);
    page.line(fit, 8.5);
    QString provenance = "File " + text(utf8Text(b.entry.file.string())) + ", depth curve " +
                         QString::number(b.entry.scan) + ", detector " +
                         (b.entry.info.detector.empty() ? QString("-") : text(utf8Text(b.entry.info.detector))) +
                         ", measured as " + text(b.quantity) +
                         (b.entry.info.quantity == beamdata::Quantity::Ionisation ? " (converted to dose)" : "") +
                         ". Fitted by orvalis-fit --model " + text(b.model) + " --rp measured";
    if (b.confirmHistories)
        provenance += "; confirmed by Tolvane with " + QString::number(*b.confirmHistories) + " histories";
    if (b.kernelHistories)
        provenance += "; kernel by Brisella with " + QString::number(*b.kernelHistories) + " histories";
    provenance += ". Orvalis " + text(run.version) + ".";
    page.line(provenance, 8);
}

void skippedPage(Page& page, const std::vector<BeamResult>& beams) {
    page.line("Curves not fitted", 14, true);
    int count = 0;
    for (const BeamResult& b : beams) {
        if (b.fitted) continue;
        page.line(text(utf8Text(b.entry.label)) + ": " + text(utf8Text(b.reason)), 8.5);
        ++count;
    }
    if (count == 0) page.line("None.", 9);
    page.skip(20);
    page.line("Checked by: ______________________________     Date: ________________", 11);
    page.skip(10);
    page.line("Signature: ______________________________", 11);
}

}  // namespace

std::string paintCommissioningPdf(const RunInfo& run, const std::vector<BeamResult>& beams) {
    const auto application = fit::offScreenApplication();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(RESOLUTION_DPI);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                         QPageLayout::Millimeter));
        writer.setTitle(text(run.title));
        writer.setCreator("orvalis-commission " + text(run.version));
        QPainter painter(&writer);
        painter.setRenderHint(QPainter::Antialiasing);
        {
            Page page(painter);
            summaryPage(page, run, beams);
        }
        for (const BeamResult& b : beams) {
            if (!b.fitted) continue;
            writer.newPage();
            Page page(painter);
            beamPage(page, b, run);
        }
        writer.newPage();
        Page page(painter);
        skippedPage(page, beams);
        painter.end();
    }
    const QByteArray bytes = buffer.data();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace commission
