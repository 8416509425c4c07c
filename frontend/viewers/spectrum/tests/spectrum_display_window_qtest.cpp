#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "testdoubles/recorders.h"
#include "viewers/spectrum_display_window.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"

using namespace orvalis;

namespace {

// A fluence file as the depth-dose simulator writes it: 100 bins up to 9 MeV, the largest
// weight 0.04 in bin 80 (7.2 MeV).
QByteArray fluenceFile(int points = 100) {
    QByteArray text = "9MeV-9.0_8.0-2.0.spct         \r\n [MeV] ,  Fluence\r\n";
    for (int i = 1; i <= points; ++i) {
        const double weight = i == 80 ? 0.04 : (i < 90 ? 0.01 : 0.0);
        text += QByteArray::number(0.09 * i, 'E', 4).rightJustified(10) + ", " +
                QByteArray::number(weight, 'E', 4).rightJustified(10) + "\r\n";
    }
    return text;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class SpectrumDisplayWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    SharedSpectrum spectrum_;
    testing::RecordingMessages messages_;
    SpectrumDisplayWindow* window_ = nullptr;

    void click(const char* name) { QTest::mouseClick(window_->findChild<QPushButton*>(name), Qt::LeftButton); }
    FileListBox* files() const { return window_->findChild<FileListBox*>("File1"); }
    QString title() const { return window_->findChild<QLineEdit*>("Text1")->text(); }
    void clickFile(const QString& name) {
        QVERIFY(files()->selectFile(name));
        QTest::mouseClick(files()->viewport(), Qt::LeftButton, {},
                          files()->visualItemRect(files()->currentItem()).center());
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(dir_.path()).mkdir("runs"));
        writeFile(dir_.filePath("runs/9MeV.spct"), fluenceFile());
        writeFile(dir_.filePath("runs/zero.SPCT"), "t\nh\n1.0, 0.0\n2.0, 0.0\n");
        writeFile(dir_.filePath("runs/long.spct"), fluenceFile(101));
        writeFile(dir_.filePath("runs/bad.spct"), "only a title");
        window_ = new SpectrumDisplayWindow(spectrum_, {messages_});
        window_->show();
    }
    void cleanupTestCase() { delete window_; }

    void loadsFromAnotherFolderAndPlotsItsPeakAt100() {
        auto* folders = window_->findChild<FolderListBox*>("Dir1");
        QVERIFY(folders->setPath(dir_.path()));
        QCOMPARE(files()->count(), 0);
        QVERIFY(folders->setPath(dir_.filePath("runs")));
        QCOMPARE(files()->count(), 4);
        clickFile("9MeV.spct");
        QVERIFY(messages_.warnings.empty());
        QCOMPARE(title(), QStringLiteral("9MeV-9.0_8.0-2.0.spct         "));
        QCOMPARE(window_->loadedPoints(), 100);
        QCOMPARE(window_->fluenceMax(), 0.04);
        QCOMPARE(spectrum_.loadedEnergyMeV(80), 7.2);
        QCOMPARE(spectrum_.loadedFluence(80), 0.04);
        QCOMPARE(spectrum_.relativeWeight()[80], 0.04);  // where the set-up window keeps its weights

        DrawingSurface* chart = window_->chart();
        QCOMPARE(chart->bufferColorAt(7.2, 100), QColor(0, 0, 0));  // the frame's top edge before plotting
        click("Command1");
        QCOMPARE(chart->bufferColorAt(7.2, 100), QColor(255, 0, 0));    // the highest point at 100
        QCOMPARE(chart->bufferColorAt(4.5, 25), QColor(255, 0, 0));     // 0.01 of 0.04
        QCOMPARE(chart->bufferColorAt(15, 50), QColor(128, 128, 128));  // grid elsewhere

        click("Command2");  // "Clear"
        QVERIFY(title().isEmpty());
        QCOMPARE(chart->bufferColorAt(4.5, 25), QColor(255, 255, 255));
    }

    void refusesWhatItCannotPlot() {
        clickFile("zero.SPCT");
        QCOMPARE(messages_.warnings.back(), std::string(" All fluences of this file are 0 !"));
        click("Command1");
        QCOMPARE(messages_.warnings.back(), std::string(" No spectrum is loaded from this file !"));
        QCOMPARE(window_->chart()->bufferColorAt(4.5, 25), QColor(255, 255, 255));
        clickFile("long.spct");
        QCOMPARE(messages_.warnings.back(), std::string(" This fluence file has more than 100 points !"));
        clickFile("bad.spct");
        QCOMPARE(messages_.warnings.back(), std::string(" I can't read this fluence file !"));
        files()->clearSelection();
        click("Command1");
        QCOMPARE(messages_.warnings.back(), std::string("Select File"));
        click("Command5");
        QVERIFY(!window_->isVisible());
    }
};

QTEST_MAIN(SpectrumDisplayWindowTest)
#include "spectrum_display_window_qtest.moc"
