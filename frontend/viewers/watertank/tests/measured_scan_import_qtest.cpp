// Water-tank files in the comparison window: the chooser, the ionisation box, resampling, the beam
// quality table, and bad files that leave the last curve in place.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "beamdata/measured_curve_file.h"
#include "engine/run_error.h"
#include "testdoubles/recorders.h"
#include "viewers/comparison_window.h"
#include "viewers/measured_scan_import.h"
#include "widgets/file_browser_lists.h"
#include "widgets/native_path.h"

using namespace orvalis;

namespace {

class RecordingChooser : public ScanChooser {
public:
    std::optional<int> choose(const QString& fileName, const QStringList& rows) override {
        asked = fileName;
        offered = rows;
        return answer;
    }
    QString asked;
    QStringList offered;
    std::optional<int> answer = 1;
};

void copySample(const QString& name, const QString& to) {
    QVERIFY(QFile::copy(QStringLiteral(BEAMDATA_SAMPLES_PATH "/") + name, to));
}

}  // namespace

class MeasuredScanImportTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    testing::RecordingMessages messages_;
    RecordingChooser chooser_;
    ComparisonWindow* window_ = nullptr;

    QString text(int n) const { return window_->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n))->text(); }
    void load(const QString& name) {
        QVERIFY(window_->findChild<FileListBox*>("File1")->selectFile(name));
        QTest::mouseClick(window_->findChild<QPushButton*>("Command4"), Qt::LeftButton);
    }
    MeasuredScanImport* import_ = nullptr;  // the window's child, made as the application makes it
    MeasuredScanImport* import() const { return import_; }

private slots:
    void initTestCase() {
        for (const char* name :
             {"electrons-6-9-12MeV.mcc", "example-9MeV-rfa300.txt", "electrons-12-20MeV.cdp", "profiles-only.asc"})
            copySample(QString::fromLatin1(name), dir_.filePath(QString::fromLatin1(name)));
        QFile::copy(QStringLiteral(EXAMPLE_CSV_PATH), dir_.filePath("example.csv"));
        QFile broken(dir_.filePath("broken.mcc"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("BEGIN_SCAN_DATA\n\tBEGIN_SCAN 1\n\t\tSCAN_CURVETYPE=PDD\n\t\tBEGIN_DATA\n\t\t\t1.0\t0.9\n");
        broken.close();
        window_ = new ComparisonWindow({messages_, dir_.path()});
        import_ = new MeasuredScanImport(*window_, messages_);
        window_->resetFromMainMenu();
        import()->setChooser(&chooser_);
        window_->show();
    }
    void cleanupTestCase() { delete window_; }

    void listsEveryMeasuredFormat() { QCOMPARE(window_->findChild<FileListBox*>("File1")->count(), 6); }

    // The new controls sit clear of every specified control of the window.
    void newControlsAreClearOfTheWindowsControls() {
        for (QWidget* mine :
             {static_cast<QWidget*>(import()->ionisationBox()), static_cast<QWidget*>(import()->noteBox()),
              static_cast<QWidget*>(import()->beamQualityButton()), static_cast<QWidget*>(import()->depthsInCmBox())})
            for (QWidget* other : window_->findChildren<QWidget*>())
                if (other != mine && other->parent() == window_ && !other->objectName().isEmpty() &&
                    other->isVisibleTo(window_))
                    QVERIFY2(!mine->geometry().intersects(other->geometry()),
                             qPrintable(mine->objectName() + " / " + other->objectName()));
    }

    // Three depth curves among two profiles: the chooser offers them, the chamber curve is loaded
    // converted to dose, its R50 matches the example it was made from.
    void chooserLoadsTheChosenCurve() {
        load("example.csv");
        const QString csvR50 = text(3);
        chooser_.answer = 1;
        load("electrons-6-9-12MeV.mcc");
        QCOMPARE(chooser_.asked, QStringLiteral("electrons-6-9-12MeV.mcc"));
        QCOMPARE(chooser_.offered.size(), 3);
        QVERIFY(chooser_.offered[1].contains(QStringLiteral("ionisation \u2192 dose")));
        QVERIFY(messages_.warnings.empty());
        QVERIFY(import()->ionisationBox()->isChecked());
        QCOMPARE(import()->fitScan(), std::optional<int>(2));
        QVERIFY(std::fabs(text(3).toDouble() - csvR50.toDouble()) <= 0.1);
        QVERIFY(import()->note()->text().contains(QStringLiteral("curve 2: 9 MeV")));
        // Unticked, the same curve is taken as dose: R50 moves, and the fit is told so.
        QTest::mouseClick(import()->ionisationBox(), Qt::LeftButton);
        QVERIFY(!import()->ionisationBox()->isChecked());
        QCOMPARE(import()->fitIonisation(), std::optional<bool>(false));
        QVERIFY(text(3) != csvR50);
    }

    void longCurvesAreResampledAndSaidSo() {
        chooser_.answer = 0;  // 12 MeV, 175 points on 0.5 mm steps
        load("electrons-12-20MeV.cdp");
        QVERIFY2(import()->note()->text().contains(QStringLiteral("175 points resampled onto ")),
                 qPrintable(import()->note()->text()));
        int count = 0;
        while (count < 150 && window_->tables().depthMm[static_cast<std::size_t>(count + 1)] > 0.0) ++count;
        QVERIFY(count <= 150 && count > 100);
        QVERIFY(window_->tables().depthMm[static_cast<std::size_t>(count)] > 80.0);  // the deepest point is kept
        QVERIFY(!text(3).isEmpty());
    }

    // The note under the plot (file, curve, detector, conversion, resampling) is laid out whole in
    // its scrolling box, however many lines it takes there.
    void theNoteIsReadableInFull() {
        QScrollArea* box = import()->noteBox();
        QLabel* note = import()->note();
        QVERIFY(note->text().size() > 120);  // more than the box shows at once
        QTRY_VERIFY(note->width() <= box->viewport()->width());
        QTRY_VERIFY2(
            note->height() >= note->heightForWidth(note->width()),
            qPrintable(QStringLiteral("%1 < %2").arg(note->height()).arg(note->heightForWidth(note->width()))));
        QVERIFY(box->verticalScrollBar()->maximum() >= note->height() - box->viewport()->height());
        QVERIFY(box->verticalScrollBar()->maximum() > 0);
    }

    // A bad file or a cancelled choice leaves the last curve; the message names file and line.
    void badFilesKeepTheLastCurve() {
        const auto depths = window_->tables().depthMm;
        const QString r50 = text(3);
        load("broken.mcc");
        QCOMPARE(QString::fromStdString(messages_.warnings.back()),
                 QStringLiteral("broken.mcc, line 5: the file ends inside scan 1 (begun on line 2): truncated"));
        load("profiles-only.asc");
        QVERIFY(
            QString::fromStdString(messages_.warnings.back()).startsWith("no depth-dose curve in profiles-only.asc"));
        chooser_.answer.reset();
        load("electrons-6-9-12MeV.mcc");
        QCOMPARE(window_->tables().depthMm, depths);
        QCOMPARE(text(3), r50);
    }

    // The table holds the measured and the calculated figures and their difference.
    void beamQualityTableShowsBothCurves() {
        load("example-9MeV-rfa300.txt");
        QTest::mouseClick(import()->beamQualityButton(), Qt::LeftButton);
        QTableWidget* table = import()->beamQualityDialog()->table();
        QVERIFY(import()->beamQualityDialog()->isVisible());
        QCOMPARE(table->rowCount(), 12);
        QCOMPARE(table->verticalHeaderItem(3)->text(), QStringLiteral("R50 (mm)"));
        QCOMPARE(table->item(3, 0)->text(), text(3));   // the same search as the window's box
        QVERIFY(table->item(3, 1)->text().isEmpty());   // no calculated curve yet
        QVERIFY(!table->item(4, 0)->text().isEmpty());  // Rp
    }

    // A curve that cannot be a depth dose in mm is named with the reason and gets no figures; a
    // water-tank one leaves the last curve. Ticked, "depths in cm" draws cm depths as mm and tells
    // the fit.
    void implausibleCurvesAreNamedAndCmDepthsRead() {
        QFile example(QStringLiteral(EXAMPLE_CSV_PATH));
        QVERIFY(example.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = example.readAll().split('\n');
        QByteArray cm = lines.front() + "\n";
        for (qsizetype k = 1; k < lines.size(); ++k) {
            const QList<QByteArray> fields = lines[k].split(',');
            if (fields.size() == 2) cm += QByteArray::number(fields[0].toDouble() / 10.0) + "," + fields[1] + "\n";
        }
        QFile cmFile(dir_.filePath("cm.csv"));
        QVERIFY(cmFile.open(QIODevice::WriteOnly));
        cmFile.write(cm);
        cmFile.close();
        QFile few(dir_.filePath("few.mcc"));
        QVERIFY(few.open(QIODevice::WriteOnly));
        few.write(
            "BEGIN_SCAN_DATA\n\tBEGIN_SCAN 1\n\t\tSCAN_CURVETYPE=PDD\n\t\tBEGIN_DATA\n\t\t\t10\t0.9\n\t\t\t20\t1.0\n"
            "\t\t\t30\t0.4\n\t\tEND_DATA\n\tEND_SCAN 1\nEND_SCAN_DATA\n");
        few.close();
        window_->findChild<FileListBox*>("File1")->refresh();

        load("example.csv");
        const QString r50 = text(3);
        const auto depths = window_->tables().depthMm;
        const std::size_t warned = messages_.warnings.size();
        load("few.mcc");
        QCOMPARE(messages_.warnings.size(), warned + 1);
        QCOMPARE(QString::fromStdString(messages_.warnings.back()),
                 QStringLiteral("few.mcc: 3 points, fewer than 5: too few for a depth-dose curve"));
        QCOMPARE(window_->tables().depthMm, depths);

        load("cm.csv");
        QCOMPARE(messages_.warnings.size(), warned + 2);
        const QString message = QString::fromStdString(messages_.warnings.back());
        QVERIFY2(message.startsWith(QStringLiteral("cm.csv: depths look like cm (")), qPrintable(message));
        QVERIFY(message.endsWith(QStringLiteral("; tick \"depths in cm\" if they are")));
        QVERIFY(!import()->fitDepthsInCm());

        QTest::mouseClick(import()->depthsInCmBox(), Qt::LeftButton);
        QVERIFY(import()->depthsInCmBox()->isChecked());
        QCOMPARE(messages_.warnings.size(), warned + 2);
        QVERIFY(import()->fitDepthsInCm());
        QVERIFY(std::fabs(text(3).toDouble() - r50.toDouble()) <= 0.01);
        QVERIFY(window_->tables().depthMm[2] > 1.0);  // 1.5 mm, not 0.15
        QTest::mouseClick(import()->depthsInCmBox(), Qt::LeftButton);
        QVERIFY(!import()->fitDepthsInCm());
    }

    // Junk under a water-tank name is named with the reader's reason, word for word what
    // orvalis-quality reports; junk under .csv keeps the window's own message; the last curve stays.
    void waterTankJunkIsNamedWithItsReason() {
        const auto write = [this](const char* name, const QByteArray& bytes) {
            QFile file(dir_.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        write("bad-empty.mcc", "");
        write("bad-binary.MCC", QByteArray("\x7f"
                                           "ELF\x02\x01\x00\x00junk",
                                           12));
        write("bad-words.cdp", "hello\nworld\n");
        write("junk.csv", "");
        QVERIFY(QFile::copy(QStringLiteral(EXAMPLE_CSV_PATH), dir_.filePath("csv-layout.txt")));
        window_->findChild<FileListBox*>("File1")->refresh();
        load("example-9MeV-rfa300.txt");
        const auto depths = window_->tables().depthMm;
        const QString r50 = text(3);
        for (const char* name : {"bad-empty.mcc", "bad-binary.MCC", "bad-words.cdp"}) {
            const std::size_t before = messages_.warnings.size();
            load(QString::fromLatin1(name));
            QCOMPARE(messages_.warnings.size(), before + 1);
            std::string reader;
            try {
                beamdata::readMeasuredFile(nativePath(dir_.filePath(QString::fromLatin1(name))));
            } catch (const engine::RunError& error) {
                reader = error.what();
            }
            QVERIFY2(!reader.empty(), name);
            QCOMPARE(messages_.warnings.back(), reader);
            QCOMPARE(window_->tables().depthMm, depths);
            QCOMPARE(text(3), r50);
        }
        QCOMPARE(messages_.warnings[messages_.warnings.size() - 3],
                 std::string("bad-empty.mcc, line 1: the file is empty"));
        load("junk.csv");
        QCOMPARE(messages_.warnings.back(), std::string(" I can't read this measured data file !"));
        const std::size_t before = messages_.warnings.size();
        load("csv-layout.txt");  // the window's CSV layout under a .txt name still loads
        QCOMPARE(messages_.warnings.size(), before);
        QVERIFY(!text(3).isEmpty());
        for (const char* name : {"bad-empty.mcc", "bad-binary.MCC", "bad-words.cdp", "junk.csv", "csv-layout.txt"})
            QFile::remove(dir_.filePath(QString::fromLatin1(name)));
    }

    // The open table follows every load: a CSV file, a water-tank curve picked in the chooser and a
    // calculated file.
    void beamQualityTableFollowsEveryLoad() {
        QTableWidget* table = import()->beamQualityDialog()->table();
        QVERIFY(import()->beamQualityDialog()->isVisible());
        load("example.csv");
        QCOMPARE(table->item(3, 0)->text(), text(3));
        const QString csvR50 = text(3);
        chooser_.answer = 2;  // 12 MeV
        load("electrons-6-9-12MeV.mcc");
        QVERIFY(text(3) != csvR50);
        QCOMPARE(table->item(3, 0)->text(), text(3));
        QFile calculated(dir_.filePath("run.pdd"));
        QVERIFY(calculated.open(QIODevice::WriteOnly));
        calculated.write("  9.00 MeV a=8.0 b=2.0\r\n   10000000.\r\n");
        for (int i = 1; i <= 125; ++i)
            calculated.write(
                QByteArray::number(i - 15).rightJustified(4) + "." +
                QByteArray::number(i <= 40 ? 1.0 : (i >= 90 ? 0.0 : (90 - i) / 50.0), 'E', 3).rightJustified(10) +
                "\r\n");
        calculated.close();
        window_->findChild<FileListBox*>("File2")->refresh();
        QVERIFY(window_->findChild<FileListBox*>("File2")->selectFile("run.pdd"));
        QTest::mouseClick(window_->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        QCOMPARE(text(9), QStringLiteral("50.00"));
        QCOMPARE(table->item(3, 1)->text(), text(9));
        QCOMPARE(table->item(3, 0)->text(), text(3));  // the water-tank curve stays
    }
};

QTEST_MAIN(MeasuredScanImportTest)
#include "measured_scan_import_qtest.moc"
