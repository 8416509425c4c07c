#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "testdoubles/recorders.h"
#include "viewers/kernel_viewer_window.h"
#include "widgets/drawing_surface.h"
#include "widgets/file_browser_lists.h"

using namespace orvalis;

namespace {

// A kernel file in the simulator's layout with cell (i, j) = value(i, j).
QByteArray kernelFile(const std::function<double(int, int)>& value) {
    QByteArray text = "  9.00 MeV \x83\xBF=8.0               \x83\xC0=2.0               \r\n   1000000.\r\n";
    for (int i = 1; i <= 125; ++i) {
        text += QByteArray::number(i - 15).rightJustified(4) + ".";
        for (int j = 1; j <= 75; ++j) text += QByteArray::number(value(i, j), 'E', 3).rightJustified(10);
        text += "\r\n";
    }
    return text;
}

// Sum 0.95: the maximum 0.5 at depth bin 16 on the axis, 0.4 beside it, 0.025 twice further out.
double sample(int i, int j) {
    if (i == 16 && j == 1) return 0.5;
    if (i == 16 && j == 2) return 0.4;
    if (i == 30 && (j == 5 || j == 6)) return 0.025;
    return 0.0;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class KernelViewerWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    testing::RecordingMessages messages_;
    KernelViewerWindow* window_ = nullptr;

    QString text(int n) const { return window_->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n))->text(); }
    void click(const char* name) { QTest::mouseClick(window_->findChild<QPushButton*>(name), Qt::LeftButton); }
    FileListBox* files() const { return window_->findChild<FileListBox*>("File1"); }
    SurfaceLine* line(const char* name) const { return window_->findChild<SurfaceLine*>(name); }
    QColor cell(int i, int j) const { return window_->map()->bufferColorAt(10.0 * j - 4.5, 10.0 * i - 4.5); }

private slots:
    void initTestCase() {
        writeFile(dir_.filePath("sample.elk"), kernelFile(sample));
        writeFile(dir_.filePath("full.elk"), kernelFile([](int i, int j) { return 1.0 / (i * j); }));
        writeFile(dir_.filePath("empty.elk"), kernelFile([](int, int) { return 0.0; }));
        writeFile(dir_.filePath("short.elk"), kernelFile(sample).left(5000));
        QDir::setCurrent(dir_.path());  // the viewer lists the folder it was created in
        window_ = new KernelViewerWindow({messages_});
        window_->show();
    }
    void cleanupTestCase() { delete window_; }

    void legendShowsTheTenClasses() {
        QCOMPARE(files()->count(), 4);
        QCOMPARE(window_->legend()->bufferColorAt(30, 15), QColor(0, 0, 0));
        QCOMPARE(window_->legend()->bufferColorAt(30, 35), QColor(51, 51, 51));
        QCOMPARE(window_->legend()->bufferColorAt(30, 105), QColor(230, 230, 230));
        QVERIFY(!line("Line15")->isVisible());
        QVERIFY(line("Line2")->isVisible());
        QCOMPARE(line("Line2")->width(), 3);  // the entry plane stands out
        QCOMPARE(line("Line2")->y1(), 150.0);
    }

    void displayShowsMapSumAndMaximum() {
        emit window_->map()->mouseMoved(100, 300);  // nothing shown yet: no read-out
        QVERIFY(text(4).isEmpty());
        QVERIFY(files()->selectFile("sample.elk"));
        click("Command2");
        QVERIFY(messages_.warnings.empty());
        QCOMPARE(text(1), QStringLiteral(".95000"));
        QCOMPARE(text(2), QStringLiteral("0.5"));
        QCOMPARE(text(3), QStringLiteral("  9.00 MeV \u03B1=8.0               \u03B2=2.0               "));
        QVERIFY(window_->kernelShown());
        QCOMPARE(cell(16, 1), QColor(0, 0, 0));
        QCOMPARE(cell(16, 2), QColor(26, 26, 26));
        QCOMPARE(cell(30, 5), QColor(102, 102, 102));  // r = 0.05 exactly is class 5
        QCOMPARE(cell(50, 30), QColor(255, 255, 255));
    }

    void readoutAtItsEdges() {
        DrawingSurface* map = window_->map();
        emit map->mouseMoved(3, 150);
        QCOMPARE(text(4), QStringLiteral("0"));
        QCOMPARE(text(5), QStringLiteral("0"));
        QCOMPARE(text(6), QStringLiteral("0.000E+00"));
        QVERIFY(line("Line15")->isVisible());
        QCOMPARE(line("Line15")->y1(), 150.0);
        QCOMPARE(line("Line16")->x1(), 3.0);
        emit map->mouseMoved(15, 155);
        QCOMPARE(text(4), QStringLiteral("1"));
        QCOMPARE(text(6), QStringLiteral("8.000E+01"));  // cell (16, 2), 0.4 of 0.5
        emit map->mouseMoved(3, 144);
        QCOMPARE(text(4), QStringLiteral("-1"));
        for (const auto& [x, y] : {std::pair{1.0, 300.0}, {598.0, 300.0}, {300.0, 1.0}, {300.0, 948.0}}) {
            emit map->mouseMoved(x, y);
            QVERIFY(text(4).isEmpty() && text(5).isEmpty() && text(6).isEmpty());
            QVERIFY(!line("Line15")->isVisible() && !line("Line16")->isVisible());
        }
        window_->findChild<QLineEdit*>("Text2")->setText(QStringLiteral("none"));  // edited by the user
        emit map->mouseMoved(15, 155);
        QVERIFY(text(6).isEmpty());
        window_->findChild<QLineEdit*>("Text2")->setText(QStringLiteral("0.5"));
    }

    void failuresLeaveTheWindowAsItWas() {
        files()->clearSelection();
        click("Command2");
        QCOMPARE(messages_.warnings.back(), std::string("Select file"));
        for (const char* name : {"empty.elk", "short.elk"}) {
            QVERIFY(files()->selectFile(QString::fromLatin1(name)));
            click("Command2");
            QCOMPARE(messages_.warnings.back(), std::string(" I can't read this kernel data file !"));
            QCOMPARE(text(1), QStringLiteral(".95000"));
            QCOMPARE(cell(16, 1), QColor(0, 0, 0));
        }
    }

    void eraseAsksThenKeepsTheReadout() {
        QVERIFY(files()->selectFile("sample.elk"));
        click("Command2");
        messages_.answer = false;
        click("Command7");
        QCOMPARE(messages_.questions.back(), std::string("Kill this file, OK ?"));
        QVERIFY(QFile::exists(dir_.filePath("sample.elk")));
        messages_.answer = true;
        click("Command7");
        QVERIFY(!QFile::exists(dir_.filePath("sample.elk")));
        QCOMPARE(files()->count(), 3);
        QVERIFY(text(3).isEmpty());
        QCOMPARE(cell(16, 1), QColor(255, 255, 255));
        QCOMPARE(text(1), QStringLiteral(".95000"));
        emit window_->map()->mouseMoved(15, 155);
        QCOMPARE(text(6), QStringLiteral("8.000E+01"));  // the erased kernel still answers
        const auto questions = messages_.questions.size();
        files()->clearSelection();
        click("Command7");
        QCOMPARE(messages_.warnings.back(), std::string("Select file"));
        QCOMPARE(messages_.questions.size(), questions);
    }

    void fullMapAndItsDrawingTime() {
        QVERIFY(files()->selectFile("full.elk"));
        QElapsedTimer timer;
        timer.start();
        click("Command2");
        const qint64 totalMs = timer.elapsed();
        QCOMPARE(cell(1, 1), QColor(0, 0, 0));
        QCOMPARE(cell(1, 2), QColor(51, 51, 51));       // r = 0.5: class 3
        QCOMPARE(cell(95, 60), QColor(204, 204, 204));  // r = 1 / 5700: class 9
        qInfo("95 x 60 kernel map painted in %lld ms (display with reading: %lld ms)", window_->lastMapDrawMs(),
              totalMs);
    }

    void buttonsRaiseTheirRequests() {
        QSignalSpy newCalculation(window_, &KernelViewerWindow::newCalculationRequested);
        QSignalSpy back(window_, &KernelViewerWindow::backRequested);
        click("Command5");
        QCOMPARE(newCalculation.count(), 1);
        click("Command1");
        QCOMPARE(back.count(), 1);
        QVERIFY(!window_->isVisible());
    }
};

QTEST_MAIN(KernelViewerWindowTest)
#include "kernel_viewer_window_qtest.moc"
