#include "platform/controls/folder_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QAbstractListModel>
#include <QDir>
#include <QFocusEvent>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>

#include "platform/errors.h"
#include "platform/files/host_text.h"

namespace platform {
namespace {

QString joined(const QString& folder, const QString& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

bool isFolder(const QString& hostPath) {
  struct stat info {};
  return ::stat(toHostBytes(hostPath).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The subfolder of the parent whose name equals the name without regard to
// case (a disc mounted here may show MPEGAV as "mpegav").
QString folderWithoutCase(const QString& parent, const QString& name) {
  DIR* folder = ::opendir(toHostBytes(parent).constData());
  if (!folder)
    throwForErrno(errno, parent);
  QString found;
  while (const dirent* entry = ::readdir(folder)) {
    const QString candidate = fromHostBytes(entry->d_name);
    if (candidate.compare(name, Qt::CaseInsensitive) == 0 && isFolder(joined(parent, candidate))) {
      found = joined(parent, candidate);
      break;
    }
  }
  ::closedir(folder);
  if (found.isEmpty())
    throw PlatformError(ErrorNumber::PathNotFound, "Path not found: " + joined(parent, name));
  return found;
}

QString followComponents(QString folder, const QStringList& components) {
  for (const QString& name : components) {
    if (name.isEmpty() || name == QStringLiteral("."))
      continue;
    if (name == QStringLiteral("..")) {
      folder = QDir::cleanPath(joined(folder, name));
      continue;
    }
    const QString exact = joined(folder, name);
    folder = isFolder(exact) ? exact : folderWithoutCase(folder, name);
  }
  return QDir::cleanPath(folder);
}

bool isInside(const QString& path, const QString& folder) {
  return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

// The folders from the root down to the folder itself.
QStringList foldersDownTo(const QString& folder) {
  QStringList chain{QStringLiteral("/")};
  qsizetype at = 1;
  while (at < folder.size()) {
    qsizetype slash = folder.indexOf('/', at);
    if (slash < 0)
      slash = folder.size();
    chain << folder.left(slash);
    at = slash + 1;
  }
  return chain;
}

QString lastName(const QString& path) {
  return path == QStringLiteral("/") ? path : path.mid(path.lastIndexOf('/') + 1);
}

}  // namespace

QString resolveFolderPath(const DriveTable& drives, const QString& text,
                          const QString& currentFolder) {
  static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
  static const QRegularExpression bareDrive(QStringLiteral("^[A-Za-z]:\\s*(\\[.*\\])?\\s*$"));
  const bool hasDrive =
      text.size() >= 2 && text[1] == ':' && text[0].unicode() < 0x80 && text[0].isLetter();
  if (hasDrive) {
    const QString driveFolder = drives.folderOf(text[0]);
    if (bareDrive.match(text).hasMatch()) {
      const QString working = QDir::currentPath();
      return isInside(working, driveFolder) ? working : QDir::cleanPath(driveFolder);
    }
    return followComponents(driveFolder, text.mid(2).split(separators));
  }
  if (text.startsWith('/')) {
    // A walk passes the folders it was given back; those it has listed
    // need no second look.
    if (DirectoryLister::shared().holdsListingOf(text))
      return text;
    if (isFolder(text))
      return QDir::cleanPath(text);
    return followComponents(QStringLiteral("/"), text.split('/'));
  }
  if (text.isEmpty())
    throw PlatformError(ErrorNumber::PathNotFound, QStringLiteral("Path not found"));
  const QString base = currentFolder.isEmpty() ? QStringLiteral("/") : currentFolder;
  return followComponents(base, text.split(separators));
}

// Rows: the folders from the root down to the current one, then its
// subfolders, each indented one step deeper than the folder holding it. The
// model keeps the folder it was last handed, so that a list whose rows are
// owed (see LazyListView) stays as its view knows it.
class FolderList::Model final : public QAbstractListModel {
 public:
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(above_.size() + subfolders().size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid())
      return {};
    const qsizetype row = index.row();
    const qsizetype above = above_.size();
    const qsizetype depth = std::min(row, above);
    const QString name = row < above ? lastName(above_[row]) : subfolders()[row - above];
    return QString(depth * 2, ' ') + name;
  }

  void show(const QString& folder, std::shared_ptr<const FolderListing> listing) {
    beginResetModel();
    above_ = foldersDownTo(folder);
    listing_ = std::move(listing);
    endResetModel();
  }

  int aboveCount() const { return static_cast<int>(above_.size()); }

 private:
  const QStringList& subfolders() const {
    static const QStringList none;
    return listing_ ? listing_->folders : none;
  }

  QStringList above_;  // host paths from the root down to the folder
  std::shared_ptr<const FolderListing> listing_;
};

FolderList::FolderList(const DriveTable& drives, QWidget* parent)
    : LazyListView(parent), drives_(drives), model_(std::make_unique<Model>()) {
  setUniformItemSizes(true);
  setEditTriggers(NoEditTriggers);
  setModel(model_.get());
  connect(this, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
    try {
      setPath(entry(index.row() - model_->aboveCount()));
    } catch (const PlatformError&) {
      // The folder cannot be opened: the list stays where it is.
    }
  });
}

FolderList::~FolderList() {
  setModel(nullptr);
}

void FolderList::setPath(const QString& text) {
  const QString folder = listsSubfolder(text) ? text : resolveFolderPath(drives_, text, path_);
  auto listing = DirectoryLister::shared().list(folder);
  const bool moved = folder != path_;
  if (!moved && listing == listing_)
    return;  // a walk setting the folder it stands in: nothing to show anew
  path_ = folder;
  listing_ = std::move(listing);
  rowsChanged();
  if (moved)
    emit changed();
}

// A walk goes into the subfolders the list shows, by the paths it gave:
// those need no look at the disc to be found.
bool FolderList::listsSubfolder(const QString& text) const {
  if (!listing_ || !text.startsWith(path_))
    return false;
  if (listing_ == givenFrom_ && text == given_)
    return true;
  const qsizetype start = path_.endsWith('/') ? path_.size() : path_.size() + 1;
  if (text.size() <= start || (start > path_.size() && text[path_.size()] != '/'))
    return false;
  const QString name = text.mid(start);
  return !name.contains('/') &&
         std::binary_search(listing_->folders.begin(), listing_->folders.end(), name, sortsBefore);
}

// After the reset nothing is highlighted, which reads as the current folder
// (-1); highlighting its row would lay out the whole list at once, for every
// folder a walk passes through.
void FolderList::showRows() {
  model_->show(path_, listing_);
}

int FolderList::subfolderCount() const {
  return listing_ ? static_cast<int>(listing_->folders.size()) : 0;
}

QString FolderList::entry(int index) const {
  if (index >= 0) {
    if (index >= subfolderCount())
      return {};
    given_ = joined(path_, listing_->folders[index]);
    givenFrom_ = listing_;
    return given_;
  }
  const QStringList above = foldersDownTo(path_);
  const qsizetype row = above.size() + index;
  return row >= 0 ? above[row] : QString();
}

// Rows still owed are shown with nothing highlighted.
int FolderList::highlightedIndex() const {
  const QModelIndex current = currentIndex();
  return current.isValid() && !rowsOwed() ? current.row() - model_->aboveCount() : -1;
}

void FolderList::setHighlightedIndex(int index) {
  showOwedRows();
  setCurrentIndex(model_->index(model_->aboveCount() + index, 0));
}

void FolderList::focusOutEvent(QFocusEvent* event) {
  LazyListView::focusOutEvent(event);
  emit lostFocus();
}

}  // namespace platform
