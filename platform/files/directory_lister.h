#pragma once

#include <QString>
#include <QStringList>
#include <list>
#include <memory>

namespace platform {

// What one folder holds, as the folder and file lists show it. Names only,
// each list sorted by name without regard to case.
struct FolderListing {
  QStringList folders;  // real folders: a link to a folder is left out, so no walk can loop
  QStringList files;    // regular files, and links to regular files
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

  int holds_ = 0;
  // Most recently used first; a walk needs only the folders above it.
  std::list<std::pair<QString, std::shared_ptr<const FolderListing>>> recent_;
};

// Reads one folder without any cache.
FolderListing readFolder(const QString& hostFolder);

// The failure for an errno of opening or reading something at a path.
[[noreturn]] void throwForErrno(int error, const QString& path);

}  // namespace platform
