#include "widgets/file_browser_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>

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

// An entry the lists show: not hidden, and a folder or a file as asked. Names are read by their
// own bytes (QDir skips a name it cannot decode).
bool listedEntry(const fs::directory_entry& entry, bool folders, QString& name) {
    const fs::path file = entry.path().filename();
    if (file.native().empty() || file.native()[0] == '.') return false;
    std::error_code error;
    const bool wanted = folders ? entry.is_directory(error) : entry.is_regular_file(error);
    if (!wanted || error) return false;
    name = pathText(file);
    return true;
}

// Name order with letter case ignored, by lower-case keys made once per name.
void sortByName(QStringList& names) {
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(static_cast<std::size_t>(names.size()));
    for (QString& name : names) keyed.emplace_back(name.toLower(), std::move(name));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    names.clear();
    for (auto& [key, name] : keyed) names << std::move(name);
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

// A folder read a slice of entries at a time: a big folder is listed between events, so that a
// window opens at once; a small one is read within the first slice. The names come sorted once
// the whole folder is read.
class SlicedListing {
public:
    SlicedListing(const fs::path& folder, bool folders, QStringList patterns)
        : folders_(folders), patterns_(std::move(patterns)) {
        std::error_code error;
        entry_ = fs::directory_iterator(folder, error);
        if (error) entry_ = fs::directory_iterator();
    }

    // Reads up to `entries` more entries; true once the folder is read and the names are sorted.
    bool read(int entries) {
        QString name;
        for (; !read_ && entries > 0; --entries) {
            if (entry_ == fs::directory_iterator()) {
                read_ = true;
                sortByName(names_);
                break;
            }
            if (listedEntry(*entry_, folders_, name) && matches(name)) names_ << name;
            std::error_code error;
            entry_.increment(error);
            if (error) entry_ = fs::directory_iterator();
        }
        return read_;
    }
    const QStringList& names() const { return names_; }

private:
    bool matches(const QString& name) const {
        return patterns_.isEmpty() || std::any_of(patterns_.begin(), patterns_.end(), [&name](const QString& pattern) {
                   return matchesWildcard(name, pattern);
               });
    }

    fs::directory_iterator entry_;
    bool folders_;
    QStringList patterns_;  // none: every entry
    QStringList names_;
    bool read_ = false;
};

namespace {

// Runs step on the owner's next turn of the event loop while `listing` is still the owner's
// current one (a refresh in between starts a new listing and drops this one).
template <class Step>
void continueLater(QObject* owner, const SlicedListing* listing, const std::unique_ptr<SlicedListing>& current,
                   Step step) {
    QTimer::singleShot(0, owner, [listing, &current, step] {
        if (current.get() == listing) step();
    });
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
    listing_.reset();
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const fs::path current = nativePath(path_);
    int level = 0;
    for (const fs::path& folder : ancestry(current)) {
        const QString name = level == 0 ? QDir::toNativeSeparators(pathText(folder)) : pathText(folder.filename());
        auto* item = new QListWidgetItem(open, indent(level) + name, this);
        item->setData(PATH_ROLE, pathText(folder));
        ++level;
    }
    setCurrentRow(count() - 1);
    listing_ = std::make_unique<SlicedListing>(current, true, QStringList());
    listSubfolders(FIRST_SLICE_ENTRIES);
}

FolderListBox::~FolderListBox() = default;

bool FolderListBox::isFilling() const { return listing_ != nullptr; }

void FolderListBox::listSubfolders(int slice) {
    if (!listing_->read(slice)) {
        continueLater(this, listing_.get(), listing_, [this] { listSubfolders(NEXT_SLICE_ENTRIES); });
        return;
    }
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const fs::path current = nativePath(path_);
    const QString subIndent = indent(count());
    for (const QString& sub : listing_->names()) {
        auto* item = new QListWidgetItem(closed, subIndent + sub, this);
        item->setData(PATH_ROLE, pathText(current / nativePath(sub)));
    }
    listing_.reset();
    emit filled();
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);  // one line of text each: a long list is laid out without measuring every line
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

FileListBox::~FileListBox() = default;

void FileListBox::refresh() {
    const QString keep = fileName().isEmpty() && listing_ ? keep_ : fileName();
    listing_.reset();
    clear();
    if (path_.isEmpty()) return;
    listing_ = std::make_unique<SlicedListing>(nativePath(path_), false,
                                               pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts));
    keep_ = keep;
    added_ = 0;
    fillSlice(FIRST_SLICE_ENTRIES);
}

void FileListBox::fillSlice(int slice) {
    if (listing_->read(slice)) {
        const QStringList& names = listing_->names();
        const qsizetype count = std::min<qsizetype>(slice, names.size() - added_);
        addItems(names.mid(added_, count));
        added_ += count;
        if (added_ == names.size()) {
            listing_.reset();
            if (!keep_.isEmpty()) selectFile(keep_);
            emit filled();
            return;
        }
    }
    continueLater(this, listing_.get(), listing_, [this] { fillSlice(NEXT_SLICE_ENTRIES); });
}

bool FileListBox::isFilling() const { return listing_ != nullptr; }

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
