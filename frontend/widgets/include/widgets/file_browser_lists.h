#pragma once
// The three lists with which the user picks a file: drives (mounted file systems), the folder
// path with its subfolders, and the files of a folder that match a pattern. All are filled
// synchronously, so what a test or a handler reads right after a change is already there.
#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace orvalis {

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

    QString path() const { return path_; }
    // Makes `folder` the chosen folder and raises pathChanged when it differs; a folder that does
    // not exist or cannot be listed is refused (false) and the list stays as it was.
    bool setPath(const QString& folder);
    void refresh();

signals:
    void pathChanged(const QString& folder);

private:
    QString path_;
};

// Files of one folder whose names match the pattern, letter case ignored ("*.PDD" lists ".pdd").
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    // One or more patterns separated by ';'.
    void setPattern(const QString& pattern);
    QString pattern() const { return pattern_; }
    void setPath(const QString& folder);
    QString path() const { return path_; }
    void refresh();  // re-reads the folder, keeping the selected name when it is still there

    QString fileName() const;  // the selected name, empty when none is selected
    bool selectFile(const QString& name);

    // folder, the platform's separator and name (no doubled separator after a root such as "/").
    static QString joinPath(const QString& folder, const QString& name);

signals:
    // A file chosen by the mouse, by Enter, or by moving the selection with the keyboard.
    void fileClicked(const QString& name);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
};

}  // namespace orvalis
