// The one owner of the orvalis-fit process, against a stand-in for the program: both models' results
// as they come, a crash after the whole output, cancelling, and the child's end with its owner.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>
#include <optional>

#include "viewers/fit_process.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

using namespace orvalis;

class FitProcessTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<FitProcess> fit_;
    std::optional<FitOutcome> ended_;
    int endings_ = 0;

    viewers::FitRequest request(viewers::FitModel model) const {
        viewers::FitRequest r;
        r.measuredPath = dir_.filePath("water.csv").toStdString();
        r.curvePath = dir_.filePath("fit-water.pdd").toStdString();
        r.maxEnergyMeV = 9.0;
        r.model = model;
        return r;
    }
    // Starts a fit and waits for its end.
    bool runToEnd(viewers::FitModel model) {
        ended_.reset();
        if (!fit_->start(request(model))) return false;
        return QTest::qWaitFor([this] { return ended_.has_value(); }, 10000);
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        qunsetenv("FAKE_FIT");
        fit_ = std::make_unique<FitProcess>(QStringLiteral(FAKE_FIT_PROGRAM), dir_.path());
        endings_ = 0;
        ended_.reset();
        connect(fit_.get(), &FitProcess::finished, this, [this](const FitOutcome& outcome) {
            ended_ = outcome;
            ++endings_;
        });
    }
    void cleanup() { fit_.reset(); }

    // The Beta model's spectrum, R-values and note, and the free-form model's result, each read as
    // its lines came; the progress never runs backwards.
    void bothModelsEndWithTheirResults() {
        QSignalSpy progress(fit_.get(), &FitProcess::progressed);
        QVERIFY(runToEnd(viewers::FitModel::Beta));
        QCOMPARE(endings_, 1);
        QVERIFY(ended_->succeeded);
        QVERIFY(ended_->beta.has_value());
        QCOMPARE(ended_->beta->alpha, 8.2);
        QCOMPARE(ended_->levels.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(ended_->levels[0].name), QStringLiteral("R50"));
        QVERIFY(ended_->note.startsWith("Note: the maximum energy stopped"));
        QVERIFY(!ended_->free.has_value());
        QVERIFY(progress.size() >= 2);
        for (qsizetype i = 1; i < progress.size(); ++i)
            QVERIFY(progress[i].first().toInt() >= progress[i - 1].first().toInt());

        QVERIFY(runToEnd(viewers::FitModel::Free));
        QVERIFY(ended_->succeeded);
        QVERIFY(ended_->free.has_value());
        QVERIFY(!ended_->beta.has_value());
        QFile args(dir_.filePath("fake-args.txt"));
        QVERIFY(args.open(QIODevice::ReadOnly));
        QVERIFY(args.readAll().contains("--model\nfree\n"));
    }

    // A child that printed every RESULT line and then crashed has not fitted: no result is kept.
    void aCrashAfterTheWholeOutputIsAFailure() {
        qputenv("FAKE_FIT", "crash");
        for (const viewers::FitModel model : {viewers::FitModel::Beta, viewers::FitModel::Free}) {
            QVERIFY(runToEnd(model));
            QVERIFY(!ended_->succeeded);
            QVERIFY(!ended_->cancelled);
            QVERIFY(!ended_->failedToStart);
            QVERIFY(!ended_->beta.has_value());
            QVERIFY(!ended_->free.has_value());
            QVERIFY(ended_->levels.empty());
        }
    }

    // Cancel stops the running child and says so; a second start is refused while one runs, and a
    // new fit can start once the cancelled one ended.
    void cancelStopsTheChild() {
        qputenv("FAKE_FIT", "hang");
        QSignalSpy progress(fit_.get(), &FitProcess::progressed);
        QVERIFY(fit_->start(request(viewers::FitModel::Beta)));
        QVERIFY(progress.wait(10000));
        QVERIFY(fit_->isRunning());
        QVERIFY(!fit_->start(request(viewers::FitModel::Free)));
        fit_->cancel();
        QVERIFY(QTest::qWaitFor([this] { return ended_.has_value(); }, 10000));
        QCOMPARE(endings_, 1);
        QVERIFY(ended_->cancelled);
        QVERIFY(!ended_->succeeded);
        QVERIFY(!fit_->isRunning());

        qunsetenv("FAKE_FIT");
        QVERIFY(runToEnd(viewers::FitModel::Beta));
        QVERIFY(ended_->succeeded);
        QVERIFY(!ended_->cancelled);
    }

    // An owner that goes while its fit runs takes the child with it, without a word after it went.
    void theChildEndsWithItsOwner() {
#ifdef Q_OS_UNIX
        qputenv("FAKE_FIT", "hang");
        QSignalSpy progress(fit_.get(), &FitProcess::progressed);
        QVERIFY(fit_->start(request(viewers::FitModel::Beta)));
        QVERIFY(progress.wait(10000));
        const auto pid = static_cast<pid_t>(fit_->processId());
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid, 0), 0);
        fit_.reset();
        QCOMPARE(endings_, 0);
        errno = 0;
        QCOMPARE(::kill(pid, 0), -1);
        QCOMPARE(errno, ESRCH);
#else
        QSKIP("the child's end is checked through POSIX process ids");
#endif
    }
};

QTEST_GUILESS_MAIN(FitProcessTest)
#include "fit_process_qtest.moc"
