// The Commissioning window driven as a user would: a folder listed, the run started, the table
// filled from the real orvalis-commission, the report there to open, a row opening its beam.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "commissioning/commissioning_window.h"
#include "testdoubles/recorders.h"

using orvalis::CommissioningWindow;

class CommissioningWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void runsAFolderAndOpensABeam();
    void refusesARunWithNothingTicked();

private:
    std::unique_ptr<QTemporaryDir> work_;
    QString tank_;
};

void CommissioningWindowTest::init() {
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
    QDir dir(work_->path());
    QVERIFY(QFile::copy(ELDAT_PATH, dir.filePath("ELDAT.dat")));
    QVERIFY(QFile::copy(WATER_CSDA_PATH, dir.filePath("water.csda")));
    QVERIFY(dir.mkpath("tank"));
    tank_ = dir.filePath("tank");
    const QDir samples(BEAMDATA_SAMPLES_PATH);
    QVERIFY(QFile::copy(samples.filePath("example-9MeV.mcc"), QDir(tank_).filePath("e09.mcc")));
    QVERIFY(QFile::copy(samples.filePath("profiles-only.asc"), QDir(tank_).filePath("profiles.asc")));
}

void CommissioningWindowTest::runsAFolderAndOpensABeam() {
    orvalis::testing::RecordingMessages messages;
    CommissioningWindow window({messages, COMMISSION_PROGRAM, work_->path()});
    window.setInputs({std::filesystem::path(QFile::encodeName(tank_).toStdString())});
    QCOMPARE(window.curves()->rowCount(), 2);
    QCOMPARE(window.curves()->item(0, 0)->text(), QStringLiteral("e09"));
    QCOMPARE(window.curves()->item(0, 0)->checkState(), Qt::Checked);
    QVERIFY(window.curves()->item(1, 1)->text().startsWith("skipped"));
    window.show();

    QTest::mouseClick(window.startButton(), Qt::LeftButton);
    QVERIFY(window.isRunning());
    QCOMPARE(window.results()->rowCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), 300000);
    QVERIFY2(messages.warnings.empty(), messages.warnings.empty() ? "" : messages.warnings.front().c_str());
    QCOMPARE(window.overall()->value(), 1);
    QCOMPARE(window.results()->item(0, 5)->text(), QStringLiteral("pass"));
    QVERIFY(!window.results()->item(0, 3)->text().isEmpty());
    QCOMPARE(qobject_cast<QProgressBar*>(window.results()->cellWidget(0, 2))->value(), 100);
    QVERIFY(window.openReportButton()->isEnabled());
    QVERIFY(QFile::exists(QDir(work_->path()).filePath("commissioning/commissioning.json")));

    QSignalSpy opened(&window, &CommissioningWindow::beamOpened);
    emit window.results()->cellDoubleClicked(0, 0);
    QCOMPARE(opened.count(), 1);
    QVERIFY(opened.at(0).at(0).toString().endsWith("e09.mcc"));
    QCOMPARE(opened.at(0).at(1).toInt(), 1);
}

void CommissioningWindowTest::refusesARunWithNothingTicked() {
    orvalis::testing::RecordingMessages messages;
    CommissioningWindow window({messages, COMMISSION_PROGRAM, work_->path()});
    window.setInputs({std::filesystem::path(QFile::encodeName(tank_).toStdString())});
    window.curves()->item(0, 0)->setCheckState(Qt::Unchecked);
    window.start();
    QVERIFY(!window.isRunning());
    QCOMPARE(messages.warnings.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(messages.warnings.front()), QStringLiteral("No depth curve is ticked."));
}

QTEST_MAIN(CommissioningWindowTest)
#include "commissioning_window_qtest.moc"
