#pragma once

#include <QString>
#include <memory>

#include "platform/controls/lazy_list_view.h"
#include "platform/files/directory_lister.h"
#include "platform/files/drive_table.h"

namespace platform {

// The host folder that a folder text stands for. A letter and a colon at the
// start stand for that drive's folder (the letter in either case), and then
// backslashes count as separators: "D:\MPEGAV\" is the folder MPEGAV of
// drive D. A bare drive ("D:", or a drive list's entry "D: [...]") stands
// for the process's working folder when that is on the drive, otherwise for
// the drive's folder. A text without a drive is a host path, or a path relative
// to the current folder. Each folder on the way is found without regard to
// case when no folder has the exact name. Throws PlatformError:
// DeviceUnavailable for a drive that is missing or not ready, PathNotFound
// for a missing folder.
QString resolveFolderPath(const DriveTable& drives, const QString& text,
                          const QString& currentFolder);

// The folder list: the folders above the current folder, the current folder,
// and its subfolders. Indexes follow the folder chooser of the desktops the
// program comes from: 0 to subfolderCount() - 1 are the subfolders, -1 is the
// current folder, -2 the one above it, and so on up to the root.
class FolderList : public LazyListView {
  Q_OBJECT

 public:
  explicit FolderList(const DriveTable& drives, QWidget* parent = nullptr);
  ~FolderList() override;

  // Makes the folder current (see resolveFolderPath for the forms it takes).
  // Throws PlatformError as resolveFolderPath does, and PermissionDenied for
  // a folder this user may not read; the list then stays as it was.
  void setPath(const QString& text);
  // The current folder as a host path, without a trailing "/" except for "/".
  QString path() const { return path_; }

  int subfolderCount() const;
  // The full host path of the entry at the index (see above); empty for an
  // index out of range.
  QString entry(int index) const;
  QString subfolder(int index) const { return entry(index); }
  // The highlighted entry's index; -1 (the current folder) after each change.
  int highlightedIndex() const;
  void setHighlightedIndex(int index);

 signals:
  // The current folder changed, by the user or the program.
  void changed();
  void lostFocus();

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void showRows() override;

 private:
  class Model;
  bool listsSubfolder(const QString& text) const;

  const DriveTable& drives_;
  std::unique_ptr<Model> model_;
  QString path_;
  std::shared_ptr<const FolderListing> listing_;
  // The subfolder path handed out last, and the listing it came from: a
  // walk goes there next.
  mutable QString given_;
  mutable std::shared_ptr<const FolderListing> givenFrom_;
};

}  // namespace platform
