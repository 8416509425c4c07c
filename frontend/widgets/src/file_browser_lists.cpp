#include "widgets/file_browser_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "widgets/native_path.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;

constexpr int PATH_ROLE = Qt::UserRole;
constexpr int INDENT_SPACES = 2;

QString indent(int level) { return QString(level * INDENT_SPACES, QLatin1Char(' ')); }

// Folders from the root down to `folder` (absolute), root first.
std::vector<fs::path> ancestry(const fs::path& folder) {
    std::vector<fs::path> chain{folder};
    for (fs::path dir = folder; dir != dir.root_path() && dir.has_relative_path();) {
        dir = dir.parent_path();
        chain.insert(chain.begin(), dir);
    }
    return chain;
}

// An absolute, cleaned folder path without a trailing separator (except for a root).
fs::path cleanFolder(const fs::path& folder) {
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error).lexically_normal();
    if (absolute.has_relative_path() && absolute.filename().empty()) absolute = absolute.parent_path();
    return absolute;
}

// Names in a folder, read by their own bytes (a name Qt cannot decode would be skipped by QDir),
// hidden ones left out, in name order with letter case ignored.
QStringList folderEntries(const fs::path& folder, bool folders) {
    QStringList names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path name = it->path().filename();
        if (name.native().empty() || name.native()[0] == '.') continue;
        std::error_code typeError;
        const bool wanted = folders ? it->is_directory(typeError) : it->is_regular_file(typeError);
        if (wanted && !typeError) names << pathText(name);
    }
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    return names;
}

// Wildcard match ('*' any run, '?' one character), letter case ignored.
bool matchesWildcard(QStringView name, QStringView pattern) {
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == QLatin1Char('?') || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p, ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*')) ++p;
    return p == pattern.size();
}

}  // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
    roots.removeDuplicates();
    setDriveRoots(roots);
    setDrive(QStorageInfo(pathText(fs::current_path())).rootPath());
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
    std::error_code error;
    setPath(pathText(fs::current_path(error)));
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(PATH_ROLE).toString()); });
}

bool FolderListBox::setPath(const QString& folder) {
    const fs::path native = nativePath(folder);
    std::error_code error;
    if (!fs::is_directory(native, error)) return false;
    if (fs::directory_iterator probe(native, error); error) return false;  // cannot be listed
    const QString absolute = pathText(cleanFolder(native));
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
    const fs::path current = nativePath(path_);
    int level = 0;
    for (const fs::path& folder : ancestry(current)) {
        const QString name = level == 0 ? QDir::toNativeSeparators(pathText(folder)) : pathText(folder.filename());
        auto* item = new QListWidgetItem(open, indent(level) + name, this);
        item->setData(PATH_ROLE, pathText(folder));
        ++level;
    }
    setCurrentRow(count() - 1);
    for (const QString& sub : folderEntries(current, true)) {
        auto* item = new QListWidgetItem(closed, indent(level) + sub, this);
        item->setData(PATH_ROLE, pathText(current / nativePath(sub)));
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
    path_ = pathText(cleanFolder(nativePath(folder)));
    refresh();
}

void FileListBox::refresh() {
    const QString keep = fileName();
    clear();
    if (path_.isEmpty()) return;
    const QStringList patterns = pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QStringList names;
    for (const QString& name : folderEntries(nativePath(path_), false))
        if (std::any_of(patterns.begin(), patterns.end(),
                        [&name](const QString& pattern) { return matchesWildcard(name, pattern); }))
            names << name;
    addItems(names);
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
