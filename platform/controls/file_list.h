#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "platform/controls/lazy_list_view.h"
#include "platform/files/directory_lister.h"
#include "platform/files/drive_table.h"
#include "platform/files/patterns.h"

namespace platform {

// The file list: the files of one folder whose names match the pattern list,
// names only, sorted without regard to case, each file once.
class FileList : public LazyListView {
  Q_OBJECT

 public:
  explicit FileList(const DriveTable& drives, QWidget* parent = nullptr);
  ~FileList() override;

  // Shows the files of the folder (any form resolveFolderPath takes). Throws
  // PlatformError as FolderList::setPath does; the list then stays as it was.
  void setPath(const QString& text);
  QString path() const { return path_; }
  // Patterns separated by semicolons; "*.*" at first.
  void setPattern(const QString& patterns);
  QString pattern() const { return patterns_.text(); }

  int fileCount() const { return static_cast<int>(matching_.size()); }
  // The name of the file at the index, without its folder; empty out of range.
  QString fileName(int index) const;

 protected:
  void showRows() override;

 private:
  class Model;
  void showListing(std::shared_ptr<const FolderListing> listing);

  const DriveTable& drives_;
  std::unique_ptr<Model> model_;
  QString path_;
  PatternList patterns_{QStringLiteral("*.*")};
  std::shared_ptr<const FolderListing> listing_;
  std::vector<int> matching_;  // indexes into listing_->files
  // The matches of the folders shown last, so that a walk coming back to a
  // folder with many files and many subfolders does not match them again.
  struct Matches {
    std::shared_ptr<const FolderListing> listing;
    QString patterns;
    std::vector<int> matching;
  };
  std::vector<Matches> recent_;
};

}  // namespace platform
