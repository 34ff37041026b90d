#include "platform/files/directory_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <vector>

#include "platform/errors.h"
#include "platform/files/host_text.h"

namespace platform {
namespace {

constexpr size_t kRecentListings = 64;

enum class EntryKind { Folder, File, Neither };

EntryKind kindOf(int folderFd, const dirent& entry, QStringList& links) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::Folder;
    case DT_REG:
      return EntryKind::File;
    case DT_LNK:
      links << fromHostBytes(entry.d_name);
      break;
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
  if (entry.d_type == DT_UNKNOWN)
    links << fromHostBytes(entry.d_name);
  // A link counts when it leads to a regular file; a link to a folder never
  // does, or a walk could go round in circles.
  struct stat target {};
  if (::fstatat(folderFd, entry.d_name, &target, 0) == 0 && S_ISREG(target.st_mode))
    return EntryKind::File;
  return EntryKind::Neither;
}

// A name as it sorts: case-folded. An ASCII name (nearly every name) is
// folded as it is compared rather than copied.
struct SortKey {
  QString text;
  bool ascii = true;
  int index = 0;

  static SortKey of(const QString& name, int index) {
    const bool ascii =
        std::all_of(name.begin(), name.end(), [](QChar unit) { return unit.unicode() < 0x80; });
    return {ascii ? name : name.toCaseFolded(), ascii, index};
  }

  char16_t at(qsizetype position) const {
    const char16_t unit = text[position].unicode();
    return ascii && unit >= 'A' && unit <= 'Z' ? static_cast<char16_t>(unit - 'A' + 'a') : unit;
  }

  int compare(const SortKey& other) const {
    const qsizetype common = std::min(text.size(), other.text.size());
    for (qsizetype position = 0; position < common; ++position) {
      const char16_t mine = at(position);
      const char16_t theirs = other.at(position);
      if (mine != theirs)
        return mine < theirs ? -1 : 1;
    }
    return text.size() == other.text.size() ? 0 : (text.size() < other.text.size() ? -1 : 1);
  }
};

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

// Compares as SortKey does, without a copy or a look at every character
// when the names differ early in ASCII (nearly every pair).
bool sortsBefore(const QString& one, const QString& other) {
  const auto folded = [](char16_t unit) {
    return unit >= 'A' && unit <= 'Z' ? static_cast<char16_t>(unit - 'A' + 'a') : unit;
  };
  const qsizetype common = std::min(one.size(), other.size());
  for (qsizetype at = 0; at < common; ++at) {
    const char16_t mine = one[at].unicode();
    const char16_t theirs = other[at].unicode();
    if (mine >= 0x80 || theirs >= 0x80) {
      if (const int order = SortKey::of(one, 0).compare(SortKey::of(other, 0)))
        return order < 0;
      return one < other;
    }
    if (folded(mine) != folded(theirs))
      return folded(mine) < folded(theirs);
  }
  if (one.size() != other.size())
    return one.size() < other.size();
  return one < other;
}

void sortNames(QStringList& names) {
  std::vector<int> order(static_cast<size_t>(names.size()));
  std::iota(order.begin(), order.end(), 0);
  sortIndexesByName(order, names);
  QStringList sorted;
  sorted.reserve(names.size());
  for (const int index : order)
    sorted << std::move(names[index]);
  names = std::move(sorted);
}

void sortIndexesByName(std::vector<int>& indexes, const QStringList& names) {
  // A remembered folder's files come sorted.
  if (std::is_sorted(indexes.begin(), indexes.end(), [&names](int one, int other) {
        return sortsBefore(names[one], names[other]);
      }))
    return;
  std::vector<SortKey> keyed;
  keyed.reserve(indexes.size());
  for (const int index : indexes)
    keyed.push_back(SortKey::of(names[index], index));
  std::sort(keyed.begin(), keyed.end(), [&names](const SortKey& one, const SortKey& other) {
    if (const int order = one.compare(other))
      return order < 0;
    return names[one.index] < names[other.index];
  });
  for (size_t i = 0; i < indexes.size(); ++i)
    indexes[i] = keyed[i].index;
}

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
  // Taken before the first entry is read: a change made while the folder
  // is read shows as a later time.
  if (const std::optional<FolderStamp> stamp = stampOfOpenFolder(fd))
    listing.stamp = *stamp;
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
    switch (kindOf(fd, *entry, listing.links)) {
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
  std::shared_ptr<const FolderListing> listing = recalled(hostFolder);
  if (!listing) {
    listing = std::make_shared<const FolderListing>(readFolder(hostFolder));
    if (holds_ > 0 && recall_)
      recall_->keep(hostFolder, *listing);
  }
  if (holds_ > 0)
    remember(hostFolder, listing);
  return listing;
}

// A folder that cannot be looked at is read all the same, for the failure
// that reading it reports.
std::shared_ptr<const FolderListing> DirectoryLister::recalled(const QString& hostFolder) {
  if (holds_ == 0 || !recall_)
    return nullptr;
  const std::optional<FolderStamp> now = stampOfFolder(toHostBytes(hostFolder));
  return now ? recall_->recall(hostFolder, *now) : nullptr;
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
  if (--lister_.holds_ == 0) {
    lister_.recent_.clear();
    lister_.recall_ = nullptr;
  }
}

}  // namespace platform
