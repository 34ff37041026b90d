#include "platform/files/directory_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "platform/files/host_text.h"

namespace platform {
namespace {

constexpr size_t kRecentListings = 64;

enum class EntryKind { Folder, File, Neither };

EntryKind kindOf(int folderFd, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::Folder;
    case DT_REG:
      return EntryKind::File;
    case DT_LNK:
    case DT_UNKNOWN:
      break;
    default:
      return EntryKind::Neither;
  }
  struct stat own {};
  if (::fstatat(folderFd, entry.d_name, &own, AT_SYMLINK_NOFOLLOW) != 0)
    return EntryKind::Neither;
  if (S_ISDIR(own.st_mode))
    return EntryKind::Folder;
  if (S_ISREG(own.st_mode))
    return EntryKind::File;
  if (!S_ISLNK(own.st_mode))
    return EntryKind::Neither;
  // A link counts when it leads to a regular file; a link to a folder never
  // does, or a walk could go round in circles.
  struct stat target {};
  if (::fstatat(folderFd, entry.d_name, &target, 0) == 0 && S_ISREG(target.st_mode))
    return EntryKind::File;
  return EntryKind::Neither;
}

// Sorted without regard to case; names that differ only in case keep a
// fixed order between them.
void sortNames(QStringList& names) {
  std::vector<std::pair<QString, QString>> keyed;
  keyed.reserve(names.size());
  for (QString& name : names)
    keyed.emplace_back(name.toCaseFolded(), std::move(name));
  std::sort(keyed.begin(), keyed.end());
  for (qsizetype i = 0; i < names.size(); ++i)
    names[i] = std::move(keyed[i].second);
}

class FolderHandle {
 public:
  explicit FolderHandle(DIR* dir) : dir_(dir) {}
  ~FolderHandle() {
    if (dir_)
      ::closedir(dir_);
  }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

}  // namespace

void throwForErrno(int error, const QString& path) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
      throw PlatformError(ErrorNumber::PathNotFound, "Path not found: " + path);
    case EACCES:
    case EPERM:
      throw PlatformError(ErrorNumber::PermissionDenied, "Permission denied: " + path);
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
      throw PlatformError(ErrorNumber::DeviceUnavailable, "Device unavailable: " + path);
    default:
      throw PlatformError(ErrorNumber::Other,
                          QString::fromLocal8Bit(std::strerror(error)) + ": " + path);
  }
}

FolderListing readFolder(const QString& hostFolder) {
  const QByteArray bytes = toHostBytes(hostFolder);
  FolderHandle folder(::opendir(bytes.constData()));
  if (!folder.get())
    throwForErrno(errno, hostFolder);
  const int fd = ::dirfd(folder.get());
  FolderListing listing;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(folder.get());
    if (!entry) {
      if (errno != 0)
        throwForErrno(errno, hostFolder);
      break;
    }
    if (entry->d_name[0] == '.')
      continue;  // hidden, and "." and ".."
    switch (kindOf(fd, *entry)) {
      case EntryKind::Folder:
        listing.folders << fromHostBytes(entry->d_name);
        break;
      case EntryKind::File:
        listing.files << fromHostBytes(entry->d_name);
        break;
      case EntryKind::Neither:
        break;
    }
  }
  sortNames(listing.folders);
  sortNames(listing.files);
  return listing;
}

DirectoryLister& DirectoryLister::shared() {
  static DirectoryLister lister;
  return lister;
}

std::shared_ptr<const FolderListing> DirectoryLister::list(const QString& hostFolder) {
  if (holds_ > 0) {
    const auto found = std::find_if(recent_.begin(), recent_.end(),
                                    [&](const auto& item) { return item.first == hostFolder; });
    if (found != recent_.end()) {
      recent_.splice(recent_.begin(), recent_, found);
      return found->second;
    }
  }
  auto listing = std::make_shared<const FolderListing>(readFolder(hostFolder));
  if (holds_ > 0)
    remember(hostFolder, listing);
  return listing;
}

bool DirectoryLister::holdsListingOf(const QString& hostFolder) const {
  return holds_ > 0 && std::any_of(recent_.begin(), recent_.end(),
                                   [&](const auto& item) { return item.first == hostFolder; });
}

void DirectoryLister::remember(const QString& folder,
                               std::shared_ptr<const FolderListing> listing) {
  recent_.emplace_front(folder, std::move(listing));
  if (recent_.size() > kRecentListings)
    recent_.pop_back();
}

DirectoryLister::Hold::Hold(DirectoryLister& lister) : lister_(lister) {
  ++lister_.holds_;
}

DirectoryLister::Hold::~Hold() {
  if (--lister_.holds_ == 0)
    lister_.recent_.clear();
}

}  // namespace platform
