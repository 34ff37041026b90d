#include "platform/controls/file_list.h"

#include <QAbstractListModel>
#include <algorithm>

#include "platform/controls/folder_list.h"
#include "platform/errors.h"

namespace platform {
namespace {

// A folder gone since it was listed shows no files.
std::shared_ptr<const FolderListing> readWhole(const QString& folder) {
  try {
    return std::make_shared<const FolderListing>(readFolder(folder));
  } catch (const PlatformError&) {
    return std::make_shared<const FolderListing>();
  }
}

}  // namespace

// Keeps the files it was last handed, so that a list whose rows are owed
// (see LazyListView) stays as its view knows it.
class FileList::Model final : public QAbstractListModel {
 public:
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(matching_.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount({}))
      return {};
    return listing_->files[matching_[static_cast<size_t>(index.row())]];
  }

  void show(std::shared_ptr<const FolderListing> listing, std::vector<int> matching) {
    beginResetModel();
    listing_ = std::move(listing);
    matching_ = std::move(matching);
    endResetModel();
  }

 private:
  std::shared_ptr<const FolderListing> listing_;
  std::vector<int> matching_;
};

FileList::FileList(const DriveTable& drives, QWidget* parent)
    : LazyListView(parent), drives_(drives), model_(std::make_unique<Model>()) {
  setUniformItemSizes(true);
  setEditTriggers(NoEditTriggers);
  setModel(model_.get());
}

FileList::~FileList() {
  setModel(nullptr);
}

void FileList::setPath(const QString& text) {
  const QString folder = resolveFolderPath(drives_, text, path_);
  auto listing = DirectoryLister::shared().list(folder);
  path_ = folder;
  if (listing != listing_)
    showListing(std::move(listing));
}

void FileList::setPattern(const QString& patterns) {
  if (patterns == patterns_.text())
    return;
  patterns_ = PatternList(patterns);
  if (listing_)
    showListing(listing_);
}

QString FileList::fileName(int index) const {
  if (index < 0 || index >= fileCount())
    return {};
  return listing_->files[matching_[index]];
}

void FileList::showListing(std::shared_ptr<const FolderListing> listing) {
  constexpr size_t kRecentFolders = 8;
  // A walk remembered only the files its patterns matched; others need
  // the folder read whole (the pattern box changed during the walk).
  if (!listing->onlyMatching.isEmpty() && listing->onlyMatching != patterns_.text())
    listing = readWhole(path_);
  listing_ = std::move(listing);
  const auto known = std::find_if(recent_.begin(), recent_.end(), [&](const Matches& seen) {
    return seen.listing == listing_ && seen.patterns == patterns_.text();
  });
  if (known != recent_.end()) {
    matching_ = known->matching;
  } else {
    matching_.clear();
    const QStringList& files = listing_->files;
    for (qsizetype i = 0; i < files.size(); ++i) {
      if (patterns_.matches(files[i]))
        matching_.push_back(static_cast<int>(i));
    }
    sortIndexesByName(matching_, files);
    if (recent_.size() >= kRecentFolders)
      recent_.erase(recent_.begin());
    recent_.push_back({listing_, patterns_.text(), matching_});
  }
  rowsChanged();
}

void FileList::showRows() {
  model_->show(listing_, matching_);
}

}  // namespace platform
