#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "testdoubles/latin1_folder.h"
#include "widgets/file_browser_lists.h"
#include "widgets/native_path.h"

using orvalis::DriveListBox;
using orvalis::FileListBox;
using orvalis::FolderListBox;

class FileBrowserListsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    void touch(const QString& name) {
        QFile file(dir_.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        for (const char* name : {"b.pdd", "A.PDD", "c.csv", "d.Csv", "e.elk"}) touch(QString::fromLatin1(name));
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("sub1")));
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("Sub2")));
    }

    // A folder and a file named in Latin-1 on a UTF-8 system: listed, and the path built from the
    // lists leads back to the very bytes on disk.
    void namesThatAreNotUtf8AreListedAndLeadBackToTheirFiles() {
#ifdef Q_OS_WIN
        QSKIP("Windows names are UTF-16");
#else
        namespace fs = std::filesystem;
        QTemporaryDir base;
        const orvalis::testing::Latin1Folder latin1(orvalis::nativePath(base.path()));
        const fs::path& folder = latin1.path();
        fs::create_directory(folder /
                             "Stra\xdf"
                             "e");
        std::ofstream(folder / "K\xf6ln.csv") << "1,2\n";
        std::ofstream(folder / "valid-\xc3\xa9t\xc3\xa9.csv") << "1,2\n";
        FolderListBox folders;
        QVERIFY(folders.setPath(orvalis::pathText(folder)));
        QCOMPARE(orvalis::nativePath(folders.path()), folder);
        QCOMPARE(orvalis::nativePath(folders.item(folders.count() - 2)->data(Qt::UserRole).toString()), folder);
        QCOMPARE(orvalis::nativePath(folders.item(folders.count() - 1)->data(Qt::UserRole).toString()), folder /
                                                                                                            "Stra\xdf"
                                                                                                            "e");
        FileListBox files;
        files.setPattern(QStringLiteral("*.CSV"));
        files.setPath(folders.path());
        QCOMPARE(files.count(), 2);
        QCOMPARE(files.item(1)->text(), QStringLiteral("valid-\u00e9t\u00e9.csv"));  // valid UTF-8 reads as text
        QVERIFY(files.selectFile(files.item(0)->text()));
        const fs::path chosen = orvalis::nativePath(FileListBox::joinPath(files.path(), files.fileName()));
        QCOMPARE(chosen, folder / "K\xf6ln.csv");
        QVERIFY(fs::is_regular_file(chosen));
        // Every byte travels: the 128 bytes above ASCII alone and after a valid sequence.
        std::string bytes;
        for (int b = 0x80; b <= 0xFF; ++b) bytes += {'x', static_cast<char>(b), '\xc3', '\xa9'};
        QCOMPARE(orvalis::nativePath(orvalis::pathText(fs::path(bytes))).native(), bytes);
#endif
    }

    // A crowded folder is listed a slice at a time: complete, in order, once, with the chosen
    // name kept across a refresh, and a refresh in the middle starting over cleanly.
    void crowdedFoldersAreListedBetweenEvents() {
        namespace fs = std::filesystem;
        QTemporaryDir base;
        const fs::path folder = orvalis::nativePath(base.path());
        constexpr int FILES = orvalis::NEXT_SLICE_ENTRIES + orvalis::FIRST_SLICE_ENTRIES + 7;  // three slices
        constexpr int FOLDERS = 3;  // the files alone make the folder list take slices too
        for (int k = FILES - 1; k >= 0; --k) std::ofstream(folder / ("f" + std::to_string(100000 + k) + ".csv"));
        for (int k = 0; k < FOLDERS; ++k) fs::create_directory(folder / ("d" + std::to_string(100000 + k)));
        FileListBox files;
        files.setPattern(QStringLiteral("*.csv"));
        QSignalSpy filled(&files, &FileListBox::filled);
        files.setPath(base.path());
        QVERIFY(files.isFilling());
        QVERIFY(files.count() < FILES);
        files.refresh();  // starts over
        QTRY_VERIFY_WITH_TIMEOUT(!files.isFilling(), 30000);
        QCOMPARE(filled.count(), 1);
        QCOMPARE(files.count(), FILES);
        for (int k = 0; k < FILES; k += 251) QCOMPARE(files.item(k)->text(), QStringLiteral("f%1.csv").arg(100000 + k));
        const QString late = files.item(FILES - 2)->text();
        QVERIFY(files.selectFile(late));
        files.refresh();
        QTRY_VERIFY_WITH_TIMEOUT(!files.isFilling(), 30000);
        QCOMPARE(files.fileName(), late);
        QCOMPARE(files.count(), FILES);

        FolderListBox folders;
        QVERIFY(folders.setPath(base.path()));
        QVERIFY(folders.isFilling());
        QTRY_VERIFY_WITH_TIMEOUT(!folders.isFilling(), 30000);
        const int above = folders.count() - FOLDERS;  // the path's own lines
        QCOMPARE(orvalis::nativePath(folders.item(above - 1)->data(Qt::UserRole).toString()), folder);
        QCOMPARE(orvalis::nativePath(folders.item(folders.count() - 1)->data(Qt::UserRole).toString()),
                 folder / ("d" + std::to_string(100000 + FOLDERS - 1)));
    }

    void patternsIgnoreLetterCase() {
        FileListBox files;
        files.setPattern(QStringLiteral("*.PDD"));
        files.setPath(dir_.path());
        QCOMPARE(files.count(), 2);
        QCOMPARE(files.item(0)->text(), QStringLiteral("A.PDD"));
        QCOMPARE(files.item(1)->text(), QStringLiteral("b.pdd"));
        files.setPattern(QStringLiteral("*.csv;*.elk"));
        QCOMPARE(files.count(), 3);
    }

    void selectionRefreshAndPath() {
        FileListBox files;
        files.setPattern(QStringLiteral("*.csv"));
        files.setPath(dir_.path());
        QVERIFY(files.fileName().isEmpty());
        QSignalSpy clicked(&files, &FileListBox::fileClicked);
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {}, files.visualItemRect(files.item(1)).center());
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.front().front().toString(), QStringLiteral("d.Csv"));
        QCOMPARE(files.fileName(), QStringLiteral("d.Csv"));
        QTest::keyClick(&files, Qt::Key_Up);  // moving the selection by keyboard chooses a file too
        QCOMPARE(clicked.count(), 2);
        QCOMPARE(clicked.back().front().toString(), QStringLiteral("c.csv"));
        QTest::keyClick(&files, Qt::Key_Up);  // already at the top: nothing new is chosen
        QCOMPARE(clicked.count(), 2);
        QTest::keyClick(&files, Qt::Key_Down);
        QCOMPARE(files.fileName(), QStringLiteral("d.Csv"));
        touch(QStringLiteral("a.csv"));
        files.refresh();
        QCOMPARE(files.count(), 3);
        QCOMPARE(files.fileName(), QStringLiteral("d.Csv"));  // the selection survives the refresh
        QCOMPARE(FileListBox::joinPath(dir_.path(), QStringLiteral("d.Csv")),
                 QDir::toNativeSeparators(dir_.path()) + QDir::separator() + QStringLiteral("d.Csv"));
        QCOMPARE(FileListBox::joinPath(QDir::rootPath(), QStringLiteral("x")),
                 QDir::toNativeSeparators(QDir::rootPath()) + QStringLiteral("x"));
    }

    void folderListShowsPathThenSubfolders() {
        FolderListBox folders;
        QSignalSpy changed(&folders, &FolderListBox::pathChanged);
        QVERIFY(folders.setPath(dir_.path()));
        QCOMPARE(changed.count(), 1);
        const int depth = static_cast<int>(QDir(dir_.path()).absolutePath().count(QLatin1Char('/')));
        QCOMPARE(folders.count(), depth + 1 + 2);  // root, each folder down to this one, two subfolders
        QCOMPARE(folders.item(0)->text(), QDir::toNativeSeparators(QDir::rootPath()));
        QCOMPARE(folders.item(folders.count() - 2)->text().trimmed(), QStringLiteral("sub1"));
        QCOMPARE(folders.currentRow(), depth);  // the chosen folder is the current line

        emit folders.itemActivated(folders.item(folders.count() - 1));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(folders.path(), QDir(dir_.filePath(QStringLiteral("Sub2"))).absolutePath());
        QVERIFY(folders.setPath(folders.path()));
        QCOMPARE(changed.count(), 2);  // the same folder again is no change
        QVERIFY(!folders.setPath(dir_.filePath(QStringLiteral("missing"))));
        QCOMPARE(folders.path(), QDir(dir_.filePath(QStringLiteral("Sub2"))).absolutePath());
    }

    void driveChoiceMovesFolderListUnlessUnreachable() {
        DriveListBox drives;
        QVERIFY(drives.count() >= 1);  // at least the file system of the current folder
        drives.setDriveRoots({QDir::rootPath(), dir_.filePath(QStringLiteral("gone"))});
        FolderListBox folders;
        folders.setPath(dir_.path());
        connect(&drives, &DriveListBox::driveChanged, &folders, [&](const QString& root) { folders.setPath(root); });
        QSignalSpy chosen(&drives, &DriveListBox::driveChanged);
        drives.setCurrentIndex(1);
        emit drives.activated(1);
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(folders.path(), QDir(dir_.path()).absolutePath());  // the unreachable one is ignored
        QVERIFY(drives.setDrive(QDir::rootPath()));
        emit drives.activated(0);
        QCOMPARE(folders.path(), QDir::rootPath());
        QVERIFY(!drives.setDrive(QStringLiteral("/no/such/root")));
    }
};

QTEST_MAIN(FileBrowserListsTest)
#include "file_browser_lists_qtest.moc"
