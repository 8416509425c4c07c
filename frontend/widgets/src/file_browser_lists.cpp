#include "widgets/file_browser_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>

namespace orvalis {
namespace {

constexpr int PATH_ROLE = Qt::UserRole;
constexpr int INDENT_SPACES = 2;

QString indent(int level) { return QString(level * INDENT_SPACES, QLatin1Char(' ')); }

// Folders from the root down to `folder`, root first.
QStringList ancestry(const QString& folder) {
    QStringList chain;
    QDir dir(folder);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp()) chain.prepend(dir.absolutePath());
    return chain;
}

}  // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
    roots.removeDuplicates();
    setDriveRoots(roots);
    setDrive(QStorageInfo(QDir::currentPath()).rootPath());
    connect(this, &QComboBox::activated, this, [this](int) { emit driveChanged(drive()); });
}

void DriveListBox::setDriveRoots(const QStringList& roots) {
    const QSignalBlocker quiet(this);
    clear();
    for (const QString& root : roots) addItem(root, root);
}

QString DriveListBox::drive() const { return currentData().toString(); }

bool DriveListBox::setDrive(const QString& rootPath) {
    const int index = findData(rootPath);
    if (index < 0) return false;
    setCurrentIndex(index);
    return true;
}

FolderListBox::FolderListBox(QWidget* parent) : QListWidget(parent) {
    setPath(QDir::currentPath());
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(PATH_ROLE).toString()); });
}

bool FolderListBox::setPath(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir() || !info.isReadable() || !QDir(folder).isReadable()) return false;
    const QString absolute = QDir(folder).absolutePath();
    const bool changed = absolute != path_;
    path_ = absolute;
    refresh();
    if (changed) emit pathChanged(path_);
    return true;
}

void FolderListBox::refresh() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QStringList chain = ancestry(path_);
    int level = 0;
    for (const QString& folder : chain) {
        const QString name = level == 0 ? QDir::toNativeSeparators(folder) : QFileInfo(folder).fileName();
        auto* item = new QListWidgetItem(open, indent(level) + name, this);
        item->setData(PATH_ROLE, folder);
        ++level;
    }
    setCurrentRow(count() - 1);
    const QDir dir(path_);
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(closed, indent(level) + sub, this);
        item->setData(PATH_ROLE, dir.absoluteFilePath(sub));
    }
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { emit fileClicked(item->text()); });
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { emit fileClicked(item->text()); });
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    refresh();
}

void FileListBox::setPath(const QString& folder) {
    path_ = QDir(folder).absolutePath();
    refresh();
}

void FileListBox::refresh() {
    const QString keep = fileName();
    clear();
    if (path_.isEmpty()) return;
    QDir dir(path_);
    dir.setNameFilters(pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts));
    // Without QDir::CaseSensitive the name filters ignore letter case.
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    addItems(dir.entryList());
    if (!keep.isEmpty()) selectFile(keep);
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
    const QString before = fileName();
    QListWidget::keyPressEvent(event);
    const QString after = fileName();
    if (!after.isEmpty() && after != before) emit fileClicked(after);
}

QString FileListBox::fileName() const {
    const QList<QListWidgetItem*> chosen = selectedItems();
    return chosen.isEmpty() ? QString() : chosen.front()->text();
}

bool FileListBox::selectFile(const QString& name) {
    const QList<QListWidgetItem*> found = findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    setCurrentItem(found.front());
    found.front()->setSelected(true);
    return true;
}

QString FileListBox::joinPath(const QString& folder, const QString& name) {
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator())) return native + name;
    return native + QDir::separator() + name;
}

}  // namespace orvalis
