#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

#include "testdoubles/recorders.h"
#include "viewers/comparison_window.h"
#include "viewers/plot_legend.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"

using namespace orvalis;
using beamdata::RangeLevel;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Calculated curve: 1 up to record 40, then falling by 0.02 per record to 0 at record 90, so that
// R90, R80, R50 and R10 lie exactly at records 45, 50, 65 and 85 (30, 35, 50 and 70 mm); `deeperMm`
// moves the fall-off deeper.
QByteArray calculatedFile(int deeperMm = 0) {
    QByteArray text = "  9.00 MeV \x83\xBF=8.0               \x83\xC0=2.0               \r\n   10000000.\r\n";
    for (int k = 1; k <= 125; ++k) {
        const int i = k - deeperMm;
        const double dose = i <= 40 ? 1.0 : (i >= 90 ? 0.0 : (90 - i) / 50.0);
        text += QByteArray::number(k - 15).rightJustified(4) + "." +
                QByteArray::number(dose, 'E', 3).rightJustified(10) + "\r\n";
    }
    return text;
}

// The uncertainty file of calculatedFile(): `shallow` up to record 55, `deep` beyond.
QByteArray uncertaintyFile(double shallow, double deep) {
    QByteArray text = "  9.00 MeV \x83\xBF=8.0               \x83\xC0=2.0               \r\n   10000000.\r\n";
    for (int i = 1; i <= 125; ++i)
        text += QByteArray::number(i - 15).rightJustified(4) + "." +
                QByteArray::number(i <= 55 ? shallow : deep, 'E', 3).rightJustified(10) + "\r\n";
    return text;
}

// Measured curve: the same shape 0.25 mm deeper, in percent, one record per millimetre.
QByteArray measuredFile(int deeperMm = 0) {
    QByteArray text = "depth [mm],dose\r\n";
    for (int k = 0; k <= 100; ++k) {
        const int d = k - deeperMm;
        const double dose = d <= 25 ? 100.0 : (d >= 75 ? 0.0 : 2.0 * (75 - d));
        text += QByteArray::number(k + 0.25) + "," + QByteArray::number(dose) + "\r\n";
    }
    return text;
}

}  // namespace

class ComparisonWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    testing::RecordingMessages messages_;
    ComparisonWindow* window_ = nullptr;

    QString text(int n) const { return window_->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n))->text(); }
    void click(const char* name) { QTest::mouseClick(window_->findChild<QPushButton*>(name), Qt::LeftButton); }
    void select(const char* list, const QString& name) {
        QVERIFY(window_->findChild<FileListBox*>(list)->selectFile(name));
    }
    SurfaceLine* line(const char* name) const { return window_->findChild<SurfaceLine*>(name); }
    std::string lastWarning() const { return messages_.warnings.empty() ? std::string() : messages_.warnings.back(); }

private slots:
    void initTestCase() {
        writeFile(dir_.filePath("run.pdd"), calculatedFile());
        writeFile(dir_.filePath("water.csv"), measuredFile());
        writeFile(dir_.filePath("short.pdd"), calculatedFile().left(900));
        writeFile(dir_.filePath("broken.csv"), "depth,dose\n1,50\n2,fifty\n");
        writeFile(dir_.filePath("flat.pdd"), "h\nh\n" + QByteArray("1. 0.0\n").repeated(125));
        window_ = new ComparisonWindow({messages_});
        window_->findChild<FolderListBox*>("Dir1")->setPath(dir_.path());
        window_->findChild<FolderListBox*>("Dir2")->setPath(dir_.path());
        window_->resetFromMainMenu();
        window_->show();
    }
    void cleanupTestCase() { delete window_; }

    void listsFollowTheirFolders() {
        auto* calculated = window_->findChild<FileListBox*>("File2");
        QCOMPARE(calculated->count(), 3);  // "*.PDD" lists the lower-case files
        QCOMPARE(window_->findChild<FileListBox*>("File1")->count(), 2);
    }

    void calculatedThenMeasuredFillTheTable() {
        select("File2", "run.pdd");
        click("Command2");
        QVERIFY(messages_.warnings.empty());
        QCOMPARE(text(7), QStringLiteral("30.00"));
        QCOMPARE(text(8), QStringLiteral("35.00"));
        QCOMPARE(text(9), QStringLiteral("50.00"));
        QCOMPARE(text(10), QStringLiteral("70.00"));
        QVERIFY(text(11).isEmpty());  // no differences before both columns are filled
        QVERIFY(window_->tables().calculatedCurveShown);
        QCOMPARE(window_->pddMax(), 1.0);
        QVERIFY(line("Line1")->isVisible());
        QCOMPARE(line("Line1")->x1(), 5000.0);  // R50 marker
        QCOMPARE(line("Line1")->y1(), 1003.0);
        QCOMPARE(line("Line4")->x1(), 7000.0);  // R10 marker
        // The red curve at 40 mm (record 55, 70 %) lies over the grid.
        QCOMPARE(window_->plot()->bufferColorAt(4000, 700), QColor(255, 0, 0));

        select("File1", "water.csv");
        click("Command4");
        QVERIFY(messages_.warnings.empty());
        QCOMPARE(text(5), QStringLiteral("30.25"));
        QCOMPARE(text(4), QStringLiteral("35.25"));
        QCOMPARE(text(3), QStringLiteral("50.25"));
        QCOMPARE(text(6), QStringLiteral("70.25"));
        for (int n = 11; n <= 14; ++n) QCOMPARE(text(n), QStringLiteral("0.25"));
        QVERIFY(!window_->tables().calculatedCurveShown);
        QCOMPARE(line("Line1")->x1(), 5025.0);  // the markers follow the later load
        QCOMPARE(window_->pddMax(), 100.0);
        QCOMPARE(window_->tables().depthMm[101], 100.25);
    }

    void differencesUseTheShownTexts() {
        window_->findChild<QLineEdit*>("Text3")->setText(QStringLiteral("12.35"));
        select("File2", "run.pdd");
        click("Command2");
        QCOMPARE(text(13), QStringLiteral("37.65"));  // |12.35 - 50.00|, the typed value counts
    }

    void readoutFollowsTheCalculatedCurve() {
        DrawingSurface* plot = window_->plot();
        emit plot->mouseMoved(99.9, 500);
        QCOMPARE(text(1), QStringLiteral("0"));
        QCOMPARE(text(2), QStringLiteral("100.00"));  // record 15
        QVERIFY(line("Line5")->isVisible());
        QCOMPARE(line("Line5")->x1(), 0.0);
        emit plot->mouseMoved(9999, 500);
        QCOMPARE(text(1), QStringLiteral("99"));
        QCOMPARE(text(2), QStringLiteral("0.00"));
        emit plot->mouseMoved(6550, -100);  // 65 mm is record 80: 0.2
        QCOMPARE(text(2), QStringLiteral("20.00"));
        QCOMPARE(line("Line5")->x1(), 6500.0);
        for (const double edge : {0.0, 10000.0}) {
            emit plot->mouseMoved(edge, 500);
            QVERIFY(text(1).isEmpty());
            QVERIFY(text(2).isEmpty());
            QVERIFY(!line("Line5")->isVisible());
        }
        // After a measured load the read-out is frozen.
        select("File1", "water.csv");
        click("Command4");
        emit plot->mouseMoved(5000, 500);
        QVERIFY(text(1).isEmpty());
    }

    void failuresShowTheirMessages() {
        const std::array<double, 151> measuredDose = window_->tables().dose;
        window_->findChild<FileListBox*>("File2")->clearSelection();
        click("Command2");
        QCOMPARE(lastWarning(), std::string("Select File"));
        QCOMPARE(window_->tables().dose, measuredDose);  // nothing changed

        select("File2", "short.pdd");
        click("Command2");
        QCOMPARE(lastWarning(), std::string(" I can't read this calculated data file !"));
        QVERIFY(!window_->tables().calculatedCurveShown);  // unchanged by the failure
        writeFile(dir_.filePath("gone.pdd"), calculatedFile());
        window_->findChild<FileListBox*>("File2")->refresh();
        select("File2", "gone.pdd");
        QVERIFY(QFile::remove(dir_.filePath("gone.pdd")));  // removed after it was listed
        messages_.warnings.clear();
        click("Command2");
        QCOMPARE(lastWarning(), std::string(" I can't read this calculated data file !"));
        select("File2", "flat.pdd");
        click("Command2");
        QCOMPARE(lastWarning(), std::string(" I can't read this calculated data file !"));

        select("File1", "broken.csv");
        click("Command4");
        QCOMPARE(lastWarning(), std::string(" I can't read this measured data file !"));
        QCOMPARE(window_->tables().dose[1], 50.0);  // what was read stays

        // A dose of -1e308 beside a maximum of 100: refused with the read message, nothing drawn.
        const QImage before = window_->plot()->buffer();
        writeFile(dir_.filePath("absurd.csv"), "depth, dose\r\n1, 100\r\n2, -1e308\r\n3, 0\r\n");
        window_->findChild<FileListBox*>("File1")->refresh();
        messages_.warnings.clear();
        select("File1", "absurd.csv");
        click("Command4");
        QCOMPARE(lastWarning(), std::string(" I can't read this measured data file !"));
        QCOMPARE(window_->plot()->buffer(), before);

        select("File2", "run.pdd");
        click("Command2");
        QVERIFY(window_->tables().calculatedCurveShown);
        window_->findChild<FileListBox*>("File1")->clearSelection();
        click("Command4");  // empties the tables even with nothing selected
        QCOMPARE(lastWarning(), std::string("Select File"));
        QCOMPARE(window_->tables().dose[20], 0.0);
        QVERIFY(window_->tables().calculatedCurveShown);
        emit window_->plot()->mouseMoved(2000, 500);
        QCOMPARE(text(2), QStringLiteral("0.00"));
    }

    void graphClearEmptiesEverything() {
        click("Command3");
        for (int n = 1; n <= 14; ++n) QVERIFY(text(n).isEmpty());
        for (const char* name : {"Line1", "Line2", "Line3", "Line4", "Line5"}) QVERIFY(!line(name)->isVisible());
        QVERIFY(!window_->tables().calculatedCurveShown);
        QCOMPARE(window_->plot()->bufferColorAt(2000, 1000), QColor(0, 0, 0));       // the frame again
        QCOMPARE(window_->plot()->bufferColorAt(2000, 500), QColor(0, 0, 255));      // the 50 % level line
        QCOMPARE(window_->plot()->bufferColorAt(2000, 600), QColor(192, 192, 192));  // grid
        QVERIFY(!window_->legend()->isVisible());
        QVERIFY(window_->plot()->accessibleDescription().isEmpty());
    }

    // Two calculated and two measured files on one plot: each curve its own shade of its kind's
    // colour, and a legend over the plot's top right corner naming the file behind each.
    void curvesOfOneKindAreToldApartAndNamed() {
        click("Command3");
        writeFile(dir_.filePath("deep.pdd"), calculatedFile(10));
        writeFile(dir_.filePath("shallow.csv"), measuredFile(5));
        writeFile(dir_.filePath("deep.csv"), measuredFile(15));
        window_->findChild<FileListBox*>("File1")->refresh();
        window_->findChild<FileListBox*>("File2")->refresh();
        for (const auto& [list, ok, name] : {std::tuple{"File2", "Command2", "run.pdd"},
                                             {"File2", "Command2", "deep.pdd"},
                                             {"File1", "Command4", "shallow.csv"},
                                             {"File1", "Command4", "deep.csv"}}) {
            select(list, QString::fromLatin1(name));
            click(ok);
        }
        DrawingSurface* plot = window_->plot();
        // At 70 %: run.pdd at 40 mm, deep.pdd at 50 mm, shallow.csv at 45.25 mm, deep.csv at 55.25 mm.
        QCOMPARE(plot->bufferColorAt(4000, 700), PlotLegend::colorOf({viewers::CurveKind::Calculated, 0}));
        QCOMPARE(plot->bufferColorAt(5000, 700), PlotLegend::colorOf({viewers::CurveKind::Calculated, 1}));
        QCOMPARE(plot->bufferColorAt(4525, 700), PlotLegend::colorOf({viewers::CurveKind::Measured, 0}));
        QCOMPARE(plot->bufferColorAt(5525, 700), PlotLegend::colorOf({viewers::CurveKind::Measured, 1}));
        QCOMPARE(PlotLegend::colorOf({viewers::CurveKind::Calculated, 0}), QColor(255, 0, 0));  // as ever
        QCOMPARE(PlotLegend::colorOf({viewers::CurveKind::Measured, 0}), QColor(0, 0, 255));
        QVERIFY(PlotLegend::colorOf({viewers::CurveKind::Calculated, 1}) != QColor(255, 0, 0));
        QVERIFY(PlotLegend::colorOf({viewers::CurveKind::Measured, 1}) != QColor(0, 0, 255));

        PlotLegend* legend = window_->legend();
        QVERIFY(legend->isVisible());
        QCOMPARE(legend->rowCount(), 4);
        const char* names[] = {"run.pdd", "deep.pdd", "shallow.csv", "deep.csv"};
        for (int row = 0; row < 4; ++row) {
            QLabel* name = legend->nameLabel(row);
            QCOMPARE(name->text(), QString::fromLatin1(names[row]));
            // Shown whole, though the rows came while the legend was already on the plot.
            QVERIFY(name->isVisible());
            QVERIFY(name->width() >= name->sizeHint().width());
            QVERIFY(legend->rect().contains(name->geometry()));
        }
        QCOMPARE(legend->nameLabel(1)->accessibleName(), QStringLiteral("calculated curve, dark red, solid: deep.pdd"));
        QCOMPARE(legend->nameLabel(3)->accessibleName(), QStringLiteral("measured curve, navy, solid: deep.csv"));
        QVERIFY(plot->accessibleDescription().contains(QStringLiteral("measured curve, blue, solid: shallow.csv")));
        // Inside the frame, at its top right, where the fall-off of these beams does not reach; the
        // read-out under it still answers the mouse.
        const QRect frame(
            plot->innerRect().topLeft() + QPoint(plot->scale().toPixelX(0), plot->scale().toPixelY(1000)),
            plot->innerRect().topLeft() + QPoint(plot->scale().toPixelX(10000), plot->scale().toPixelY(0)));
        QVERIFY(frame.contains(legend->geometry()));
        QVERIFY(legend->geometry().right() > frame.center().x() + frame.width() / 4);
        QCOMPARE(plot->childAt(legend->geometry().center()), nullptr);
    }

    // With its uncertainty file beside it, each calculated range shows its standard uncertainty
    // (the fall-off loses 2 % per mm: 1 % gives 0.50 mm, 0.1 % 0.05 mm), and a difference of 0.25 mm
    // is marked only where it exceeds twice that. A file without one shows none.
    void uncertaintiesBesideTheCalculatedRanges() {
        messages_.warnings.clear();
        writeFile(dir_.filePath("sd.pdd"), calculatedFile());
        writeFile(dir_.filePath("sd.sd"), uncertaintyFile(0.01, 0.001));
        click("Command5");
        select("File1", "water.csv");
        click("Command4");
        select("File2", "sd.pdd");
        click("Command2");
        QVERIFY(messages_.warnings.empty());
        const struct {
            RangeLevel level;
            const char* label;
            bool marked;
        } rows[] = {{RangeLevel::R90, "\u00b1 0.50", false},
                    {RangeLevel::R80, "\u00b1 0.50", false},
                    {RangeLevel::R50, "\u00b1 0.05", true},
                    {RangeLevel::R10, "\u00b1 0.05", true}};
        for (const auto& row : rows) {
            QVERIFY(window_->uncertaintyLabel(row.level)->isVisible());
            QCOMPARE(window_->uncertaintyLabel(row.level)->text(), QString::fromUtf8(row.label));
            const QLineEdit* difference = window_->differenceField(row.level);
            QCOMPARE(difference->text(), QStringLiteral("0.25"));
            QCOMPARE(difference->property("exceedsUncertainty").toBool(), row.marked);
            QCOMPARE(difference->toolTip().isEmpty(), !row.marked);
        }
        QCOMPARE(text(9), QStringLiteral("50.00"));  // the fields themselves as before

        select("File2", "run.pdd");
        click("Command2");
        for (const auto& row : rows) {
            QVERIFY(!window_->uncertaintyLabel(row.level)->isVisible());
            QVERIFY(!window_->differenceField(row.level)->property("exceedsUncertainty").toBool());
        }
        click("Command3");
    }
};

QTEST_MAIN(ComparisonWindowTest)
#include "comparison_window_qtest.moc"
