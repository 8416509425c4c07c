#pragma once
// The three lists with which the user picks a file: drives (mounted file systems), the folder
// path with its subfolders, and the files of a folder that match a pattern. All are filled
// synchronously, so what a test or a handler reads right after a change is already there, except
// a folder with thousands of entries: its files or subfolders are listed a slice at a time between
// events (isFilling(), then filled()), so that a window opens at once in a crowded folder.
#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

#include <memory>

namespace orvalis {

class SlicedListing;

// Folder entries the lists read before a change returns, and per later slice.
inline constexpr int FIRST_SLICE_ENTRIES = 512;
inline constexpr int NEXT_SLICE_ENTRIES = 2048;

// Mounted file systems that are ready, by their root path; the entry of the current folder's
// volume is chosen at the start.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // Replaces the listed roots (tests and platforms with their own notion of drives).
    void setDriveRoots(const QStringList& roots);
    QString drive() const;                   // root path of the chosen entry
    bool setDrive(const QString& rootPath);  // chooses the entry; false when it is not listed

signals:
    void driveChanged(const QString& rootPath);  // the user chose another drive
};

// The chosen folder's path from the root, one line per folder, then its subfolders indented one
// step further. Opening a line (double click or Enter) makes it the chosen folder.
class FolderListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FolderListBox(QWidget* parent = nullptr);
    ~FolderListBox() override;

    QString path() const { return path_; }
    // Makes `folder` the chosen folder and raises pathChanged when it differs; a folder that does
    // not exist or cannot be listed is refused (false) and the list stays as it was.
    bool setPath(const QString& folder);
    void refresh();
    bool isFilling() const;  // the subfolders of a big folder are still being listed

signals:
    void pathChanged(const QString& folder);
    void filled();  // the listing that refresh() began is complete

private:
    void listSubfolders(int slice);

    QString path_;
    std::unique_ptr<SlicedListing> listing_;
};

// Files of one folder whose names match the pattern, letter case ignored ("*.PDD" lists ".pdd").
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);
    ~FileListBox() override;

    // One or more patterns separated by ';'.
    void setPattern(const QString& pattern);
    QString pattern() const { return pattern_; }
    void setPath(const QString& folder);
    QString path() const { return path_; }
    void refresh();          // re-reads the folder, keeping the selected name when it is still there
    bool isFilling() const;  // a big folder is still being listed

    QString fileName() const;  // the selected name, empty when none is selected
    bool selectFile(const QString& name);

    // folder, the platform's separator and name (no doubled separator after a root such as "/").
    static QString joinPath(const QString& folder, const QString& name);

signals:
    // A file chosen by the mouse, by Enter, or by moving the selection with the keyboard.
    void fileClicked(const QString& name);
    // The listing that refresh() began is complete.
    void filled();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillSlice(int slice);

    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    std::unique_ptr<SlicedListing> listing_;
    QString keep_;  // the name to select again once it is listed
    qsizetype added_ = 0;
};

}  // namespace orvalis
