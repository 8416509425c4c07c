// The drawing surface and the simulator launcher, under the offscreen platform.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "common/program_search.h"
#include "testdoubles/latin1_folder.h"
#include "testdoubles/recorders.h"
#include "widgets/drawing_surface.h"
#include "widgets/native_path.h"
#include "widgets/qt_program_launcher.h"
#include "widgets/twips.h"

namespace orvalis {

class WidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void surfaceKeepsPaintUntilClearedAndLinesSurviveClearing();
    void surfaceReportsMouseMovesInUserUnits();
    void surfacePrintsTextAtTheCurrentPoint();
    void surfaceDrawsOnlyWhatTheFrameCanShow();
    void twipsBecomePixelsAtFifteenPerPixel();
    void launcherStartsADetachedProgramWithItsOutputInALog();
    void launcherReportsAMissingProgram();
    void launcherPrefersTheFirstTerminalInItsList();
    void launcherNeverRunsAProgramPlantedInTheWorkFolder();
    void launcherLogIsNeverWrittenThroughALink();
    void launcherReportsAFailedRunNamingItsLog();
    void failedRunInATerminalWaitsForEnterAndIsReported();
    void launcherRunsInAFolderNamedInLatin1();
};

namespace {

// A surface like the spectrum plot: 457 x 401 pixels with a 2-pixel border.
void makePlot(DrawingSurface& surface) {
    surface.resize(457, 401);
    surface.setScale(0, 1000, 1000, -1000);
}

// An executable shell script.
void writeScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

void WidgetsTest::surfaceKeepsPaintUntilClearedAndLinesSurviveClearing() {
    DrawingSurface surface;
    makePlot(surface);
    QCOMPARE(surface.buffer().size(), QSize(453, 397));
    QCOMPARE(surface.innerRect(), QRect(2, 2, 453, 397));
    surface.setLineWidth(1);
    surface.point(100, 100, Qt::red);
    surface.lineTo(900, 100, Qt::red);
    QCOMPARE(surface.currentPoint(), QPointF(900, 100));
    QCOMPARE(surface.bufferColorAt(500, 100), QColor(Qt::red));
    QCOMPARE(surface.bufferColorAt(500, 500), QColor(Qt::white));
    surface.filledRectangle(200, 200, 300, 300, Qt::blue);
    QCOMPARE(surface.bufferColorAt(250, 250), QColor(Qt::blue));
    QCOMPARE(surface.bufferColorAt(200, 300), QColor(Qt::blue));  // corners included
    surface.rectangle(400, 400, 600, 600, Qt::black);
    QCOMPARE(surface.bufferColorAt(400, 500), QColor(Qt::black));
    QCOMPARE(surface.bufferColorAt(500, 500), QColor(Qt::white));  // an outline only

    SurfaceLine* cursor = surface.addLine("Line21", 500, 0, 500, 1000, Qt::red, 1, false);
    QCOMPARE(surface.findChild<SurfaceLine*>("Line21"), cursor);
    cursor->setX(250);
    QCOMPARE(cursor->x1(), 250.0);
    QCOMPARE(cursor->x2(), 250.0);
    cursor->show();

    surface.clear();
    QCOMPARE(surface.bufferColorAt(500, 100), QColor(Qt::white));
    QCOMPARE(surface.bufferColorAt(250, 250), QColor(Qt::white));
    QVERIFY(cursor->isVisible());
    // The line object is painted over the buffer, not into it.
    const QImage shown = surface.grab().toImage();
    const int lineColumn = 2 + surface.scale().toPixelX(250);
    QCOMPARE(shown.pixelColor(lineColumn, 200), QColor(Qt::red));
    QCOMPARE(surface.bufferColorAt(250, 500), QColor(Qt::white));
    cursor->hide();
    QCOMPARE(surface.grab().toImage().pixelColor(lineColumn, 200), QColor(Qt::white));
    // Painted content stays through a resize.
    surface.filledRectangle(0, 0, 20, 20, Qt::green);
    const QPoint greenPixel(3, surface.scale().toPixelY(10));
    surface.resize(500, 450);
    QCOMPARE(surface.buffer().size(), QSize(496, 446));
    QCOMPARE(surface.buffer().pixelColor(greenPixel), QColor(Qt::green));
}

void WidgetsTest::surfaceReportsMouseMovesInUserUnits() {
    DrawingSurface surface;
    makePlot(surface);
    surface.show();
    QVERIFY(QTest::qWaitForWindowExposed(&surface));
    QVERIFY(surface.hasMouseTracking());
    QSignalSpy moves(&surface, &DrawingSurface::mouseMoved);
    QTest::mouseMove(&surface, QPoint(2 + 261, 2 + 100));
    QTRY_VERIFY(!moves.isEmpty());
    const auto last = moves.takeLast();
    QCOMPARE(last.at(0).toDouble(), 261 * 1000.0 / 453);
    QCOMPARE(last.at(1).toDouble(), 1000.0 - 100 * 1000.0 / 397);
    // Over the border the position lies outside the scale.
    QTest::mouseMove(&surface, QPoint(0, 200));
    QTRY_VERIFY(!moves.isEmpty());
    QVERIFY(moves.takeLast().at(0).toDouble() < 0.0);
}

// A curve point of -1e300 is drawn as the part of its segment that the frame can show, at once:
// the segment is cut where it leaves the region around the frame (twice the frame's size on every
// side, here -2000 to 3000), and draws what the segment to that point draws.
void WidgetsTest::surfaceDrawsOnlyWhatTheFrameCanShow() {
    DrawingSurface far;
    DrawingSurface near;
    makePlot(far);
    makePlot(near);
    far.setLineWidth(2);
    near.setLineWidth(2);
    QElapsedTimer timer;
    timer.start();
    far.line(100, 500, 100 + 8.0e299, 500 - 1.0e300, Qt::red);  // slope -1.25 in user units
    near.line(100, 500, 2100, -2000, Qt::red);
    far.line(300, 500, 300, -1.0e308, Qt::blue);
    near.line(300, 500, 300, -2000, Qt::blue);
    far.rectangle(-1.0e300, -1.0e300, 600, 600, Qt::black);
    near.rectangle(-2000, -2000, 600, 600, Qt::black);
    far.lineTo(std::nan(""), 5, Qt::red);  // nothing to draw, no fault
    far.filledRectangle(-1.0e308, 800, 1.0e308, 900, Qt::green);
    near.filledRectangle(-2000, 800, 3000, 900, Qt::green);
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(far.buffer(), near.buffer());
    QCOMPARE(far.bufferColorAt(300, 100), QColor(Qt::blue));
}

void WidgetsTest::surfacePrintsTextAtTheCurrentPoint() {
    DrawingSurface surface;
    surface.resize(404, 204);
    surface.setScale(0, 0, 400, 200);  // one unit per pixel, y down
    surface.setForegroundColor(Qt::black);
    surface.printTextAt(100, 50, "Depth");
    // Ink lies below and to the right of the current point, within one line of text.
    const QImage& image = surface.buffer();
    int inkTop = -1;
    int inkLeft = 1000;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != QColor(Qt::white)) {
                if (inkTop < 0) inkTop = y;
                inkLeft = std::min(inkLeft, x);
            }
        }
    }
    QVERIFY(inkTop >= 50 && inkTop < 50 + QFontMetrics(surface.textFont()).height());
    QVERIFY(inkLeft >= 100 && inkLeft < 110);
    QVERIFY(surface.currentPoint().y() > 50);
}

void WidgetsTest::twipsBecomePixelsAtFifteenPerPixel() {
    QCOMPARE(twipsToPixels(6855), 457);
    QCOMPARE(twipsToPixels(15), 1);
    QCOMPARE(twipsToPixels(7), 0);
    QCOMPARE(twipsToPixels(8), 1);
    QCOMPARE(twipsRect(5880, 3720, 6855, 6015), QRect(392, 248, 457, 401));
    QVERIFY(QFontInfo(timesFont(12)).family().contains("Serif") || QFontInfo(timesFont(12)).family().contains("Times"));
}

void WidgetsTest::launcherStartsADetachedProgramWithItsOutputInALog() {
#ifdef Q_OS_WIN
    QSKIP("the fake program is a shell script");
#else
    QTemporaryDir own;
    QTemporaryDir work;
    const QString script = own.filePath("Tolvane");
    {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Reads one line like the simulator's closing pause: closed input ends it at once.
        file.write("#!/bin/sh\necho started in \"$(pwd)\"\nread answer\necho done > finished.txt\n");
    }
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QtProgramLauncher launcher(own.path().toStdString(), "/usr/bin:/bin", false);
    const LaunchResult result = launcher.start("Tolvane", work.path().toStdString());
    QVERIFY2(result.started, result.message.c_str());
    QTRY_VERIFY(QFile::exists(work.filePath("finished.txt")));
    const auto logText = [&] {
        QFile log(work.filePath("Tolvane.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    };
    QTRY_VERIFY(logText().contains("started in " + QDir(work.path()).canonicalPath().toUtf8()));
#endif
}

void WidgetsTest::launcherReportsAMissingProgram() {
    QTemporaryDir own;
    QtProgramLauncher launcher(own.path().toStdString(), "", false);
    const LaunchResult result = launcher.start("Brisella", own.path().toStdString());
    QVERIFY(!result.started);
    QVERIFY(QString::fromStdString(result.message).contains("Brisella"));
}

void WidgetsTest::launcherPrefersTheFirstTerminalInItsList() {
#ifdef Q_OS_WIN
    QSKIP("no terminals on Windows");
#else
    QTemporaryDir own;
    QTemporaryDir bin;
    QTemporaryDir work;
    writeScript(own.filePath("Brisella"), "exit 0\n");
    // Fake terminals record how they were called and where.
    writeScript(bin.filePath("xterm"), "echo xterm \"$@\" > \"$(pwd)/terminal.txt\"\n");
    writeScript(bin.filePath("konsole"), "echo konsole \"$@\" > \"$(pwd)/terminal.txt\"\n");
    QtProgramLauncher launcher(own.path().toStdString(), bin.path().toStdString());
    QVERIFY(launcher.start("Brisella", work.path().toStdString()).started);
    const auto recorded = [&] {
        QFile file(work.filePath("terminal.txt"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    };
    // The terminal runs the simulator under the pausing wrapper.
    QTRY_VERIFY(recorded().startsWith("konsole -e /bin/sh -c "));
    QVERIFY(recorded().contains(own.filePath("Brisella") + " Brisella "));
    QFile::remove(work.filePath("terminal.txt"));
    QFile::remove(bin.filePath("konsole"));
    QVERIFY(launcher.start("Brisella", work.path().toStdString()).started);
    QTRY_VERIFY(recorded().startsWith("xterm -e /bin/sh -c "));
    QVERIFY(!QFile::exists(work.filePath("Brisella.log")));  // output goes to the terminal
#endif
}

void WidgetsTest::launcherNeverRunsAProgramPlantedInTheWorkFolder() {
#ifdef Q_OS_WIN
    QSKIP("the fake programs are shell scripts");
#else
    QTemporaryDir own;
    QTemporaryDir bin;
    QTemporaryDir work;
    writeScript(work.filePath("Tolvane"), "echo planted > planted.txt\n");
    testing::RecordingMessages messages;
    QtProgramLauncher launcher(own.path().toStdString(), bin.path().toStdString(), false, &messages);
    const LaunchResult missing = launcher.start("Tolvane", work.path().toStdString());
    QVERIFY(!missing.started);
    QVERIFY(QString::fromStdString(missing.message).contains("Tolvane"));
    // One on the search path runs, in the work folder; the planted one still does not.
    writeScript(bin.filePath("Tolvane"), "echo from-path > ran.txt\n");
    QVERIFY(launcher.start("Tolvane", work.path().toStdString()).started);
    QTRY_COMPARE(contents(work.filePath("ran.txt")), QByteArray("from-path\n"));
    QVERIFY(!QFile::exists(work.filePath("planted.txt")));
    QVERIFY(messages.warnings.empty());
#endif
}

void WidgetsTest::launcherLogIsNeverWrittenThroughALink() {
#ifdef Q_OS_WIN
    QSKIP("no log on Windows");
#else
    QTemporaryDir own;
    QTemporaryDir work;
    QTemporaryDir elsewhere;
    writeScript(own.filePath("Brisella"), "echo ran > ran.txt\necho console line\n");
    const QString victim = elsewhere.filePath("victim.txt");
    {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me\n");
    }
    const QString log = work.filePath("Brisella.log");
    testing::RecordingMessages messages;
    QtProgramLauncher launcher(own.path().toStdString(), "", false, &messages);
    // A link to an existing file, a dangling link, a hard link: refused, nothing run.
    for (const QString& target : {victim, elsewhere.filePath("created.txt")}) {
        QVERIFY(QFile::link(target, log));
        const LaunchResult result = launcher.start("Brisella", work.path().toStdString());
        QVERIFY(!result.started);
        QVERIFY2(QString::fromStdString(result.message).contains("Brisella.log"), result.message.c_str());
        QVERIFY(QFile::remove(log));
    }
    QVERIFY(::link(QFile::encodeName(victim).constData(), QFile::encodeName(log).constData()) == 0);
    QVERIFY(!launcher.start("Brisella", work.path().toStdString()).started);
    QVERIFY(QFile::remove(log));
    QCOMPARE(contents(victim), QByteArray("keep me\n"));
    QVERIFY(!QFile::exists(elsewhere.filePath("created.txt")));
    QVERIFY(!QFile::exists(work.filePath("ran.txt")));
    // A plain old log is emptied and written anew.
    {
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(5000, 'x'));
    }
    QVERIFY(launcher.start("Brisella", work.path().toStdString()).started);
    QTRY_COMPARE(contents(log), QByteArray("console line\n"));
    QVERIFY(messages.warnings.empty());
#endif
}

void WidgetsTest::launcherReportsAFailedRunNamingItsLog() {
#ifdef Q_OS_WIN
    QSKIP("the fake program is a shell script");
#else
    QTemporaryDir own;
    QTemporaryDir work;
    writeScript(own.filePath("Tolvane"), "echo 'Nimbrola.dat, line 2: the history count is too large' >&2\nexit 3\n");
    testing::RecordingMessages messages;
    QtProgramLauncher launcher(own.path().toStdString(), "", false, &messages);
    QVERIFY(launcher.start("Tolvane", work.path().toStdString()).started);
    QTRY_COMPARE(messages.warnings.size(), std::size_t{1});
    const QString warning = QString::fromStdString(messages.warnings[0]);
    QVERIFY2(warning.contains("Tolvane failed (exit status 3)"), qPrintable(warning));
    QVERIFY2(warning.contains(work.filePath("Tolvane.log")), qPrintable(warning));
    QVERIFY(contents(work.filePath("Tolvane.log")).contains("the history count is too large"));
    // A program that cannot be executed is refused at once, not reported as started.
    QFile broken(own.filePath("Brisella"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("#!/nonexistent/interpreter\n");
    broken.close();
    QFile::setPermissions(broken.fileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const LaunchResult result = launcher.start("Brisella", work.path().toStdString());
    QVERIFY(!result.started);
    QVERIFY2(QString::fromStdString(result.message).contains("Brisella"), result.message.c_str());
#endif
}

// A terminal stand-in on the search path: it shows the command's output in screen.txt, takes its
// input from enter.fifo, and writes closed.txt when its window would close.
void WidgetsTest::failedRunInATerminalWaitsForEnterAndIsReported() {
#ifdef Q_OS_WIN
    QSKIP("no terminals on Windows");
#else
    QTemporaryDir own;
    QTemporaryDir bin;
    QTemporaryDir work;
    const QByteArray console =
        " <<< Monte Carlo Simulation >>>\nNimbrola.dat, line 2: the history count is too large to be run\n";
    writeScript(own.filePath("Tolvane"), "printf '" + console + "'\nexit 1\n");
    writeScript(own.filePath("Brisella"), "echo fine\n");
    writeScript(bin.filePath("xterm"), "shift\n\"$@\" > screen.txt 2>&1 0<>enter.fifo\necho closed > closed.txt\n");
    QVERIFY(::mkfifo(QFile::encodeName(work.filePath("enter.fifo")).constData(), 0600) == 0);
    testing::RecordingMessages messages;
    QtProgramLauncher launcher(own.path().toStdString(), bin.path().toStdString(), true, &messages);

    QVERIFY(launcher.start("Tolvane", work.path().toStdString()).started);
    QTRY_COMPARE(messages.warnings.size(), std::size_t{1});
    QVERIFY2(QString::fromStdString(messages.warnings[0]).contains("Tolvane failed (exit status 1)"),
             messages.warnings[0].c_str());
    QVERIFY(QString::fromStdString(messages.warnings[0]).contains("terminal window"));
    QTRY_VERIFY(contents(work.filePath("screen.txt")).endsWith(PAUSE_PROMPT));
    QVERIFY(contents(work.filePath("screen.txt")).startsWith(console));  // the simulator's lines as they are
    QVERIFY(!QFile::exists(work.filePath("closed.txt")));                // the prompt is shown and the window waits
    {
        QFile enter(work.filePath("enter.fifo"));
        QVERIFY(enter.open(QIODevice::WriteOnly));
        enter.write("\n");
    }
    QTRY_VERIFY(QFile::exists(work.filePath("closed.txt")));

    // A run that succeeds closes its window without waiting and is not reported.
    QVERIFY(QFile::remove(work.filePath("closed.txt")));
    QVERIFY(launcher.start("Brisella", work.path().toStdString()).started);
    QTRY_VERIFY(QFile::exists(work.filePath("closed.txt")));
    QCOMPARE(contents(work.filePath("screen.txt")), QByteArray("fine\n"));
    QCOMPARE(messages.warnings.size(), std::size_t{1});
#endif
}

void WidgetsTest::launcherRunsInAFolderNamedInLatin1() {
#ifdef Q_OS_WIN
    QSKIP("Windows names are UTF-16");
#else
    QTemporaryDir own;
    QTemporaryDir work;
    const testing::Latin1Folder latin1(nativePath(work.path()));
    const std::filesystem::path& folder = latin1.path();
    writeScript(own.filePath("Tolvane"), "pwd\n");
    testing::RecordingMessages messages;
    QtProgramLauncher launcher(own.path().toStdString(), "", false, &messages);
    QVERIFY(launcher.start("Tolvane", folder).started);
    const auto log = [&] {
        std::ifstream file(folder / "Tolvane.log");
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    QTRY_COMPARE(log(), std::filesystem::canonical(folder).native() + "\n");
#endif
}

}  // namespace orvalis

QTEST_MAIN(orvalis::WidgetsTest)
#include "widgets_qtest.moc"
