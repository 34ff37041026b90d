#pragma once

#include <QString>
#include <QStringList>
#include <list>
#include <memory>
#include <vector>

#include "platform/files/folder_times.h"

namespace platform {

// What one folder holds, as the folder and file lists show it. Names only.
struct FolderListing {
  // Real folders, sorted by name without regard to case: a link to a folder
  // is left out, so no walk can loop.
  QStringList folders;
  // Regular files, and links to regular files, in no particular order: only
  // the few a pattern list picks out need sorting.
  QStringList files;
  // Only the files these patterns match, when not empty (a listing
  // remembered from an earlier walk keeps no others).
  QString onlyMatching;
  // The folder as it was when it was opened.
  FolderStamp stamp;
  // The names of the links among its entries, whatever they lead to: a
  // link's target may come and go while the folder stays as it was.
  QStringList links;
};

// Sorts the names by name without regard to case; names that differ only
// in case keep a fixed order between them.
void sortNames(QStringList& names);
// The order of sortNames.
bool sortsBefore(const QString& one, const QString& other);
// The same order, for indexes into the names.
void sortIndexesByName(std::vector<int>& indexes, const QStringList& names);

// What a walk remembers of folders from one run to the next: asked before a
// folder is read, told what was read.
class FolderRecall {
 public:
  virtual ~FolderRecall() = default;
  // The listing remembered for the folder, when it is known still to hold
  // for the folder as stamped now; null otherwise.
  virtual std::shared_ptr<const FolderListing> recall(const QString& folder,
                                                      const FolderStamp& now) = 0;
  // A folder read from the disc.
  virtual void keep(const QString& folder, const FolderListing& listing) = 0;
};

// Reads folders on the host. Hidden entries (names starting with a dot) are
// never listed, nor devices, FIFOs and sockets.
class DirectoryLister {
 public:
  // The one lister of the program (the GUI thread's).
  static DirectoryLister& shared();

  // Throws PlatformError: PathNotFound when the folder or one on the way is
  // missing, PermissionDenied when this user may not read it,
  // DeviceUnavailable when its medium is gone, Other for anything else.
  std::shared_ptr<const FolderListing> list(const QString& hostFolder);
  // True when a hold keeps a listing of exactly this folder.
  bool holdsListingOf(const QString& hostFolder) const;
  // While held, folders are asked of the recall before they are read, and
  // those read are told to it; null: none.
  void setRecall(FolderRecall* recall) { recall_ = recall; }
  FolderRecall* recall() const { return recall_; }

  // While held (a walk holds it), a folder listed once is not read again:
  // a walk returns to a folder once per subfolder, and a folder with
  // thousands of subfolders must not be read thousands of times. Outside a
  // hold every listing is read fresh.
  class Hold {
   public:
    explicit Hold(DirectoryLister& lister);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    DirectoryLister& lister_;
  };

 private:
  void remember(const QString& folder, std::shared_ptr<const FolderListing> listing);

  std::shared_ptr<const FolderListing> recalled(const QString& hostFolder);

  int holds_ = 0;
  FolderRecall* recall_ = nullptr;
  // Most recently used first; a walk needs only the folders above it.
  std::list<std::pair<QString, std::shared_ptr<const FolderListing>>> recent_;
};

// Reads one folder without any cache.
FolderListing readFolder(const QString& hostFolder);

// The failure for an errno of opening or reading something at a path.
[[noreturn]] void throwForErrno(int error, const QString& path);

}  // namespace platform
