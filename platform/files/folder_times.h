#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>

namespace platform {

// What tells that a folder is still the folder it was, holding what it held:
// the same device and inode, and the same modification and change times to
// the nanosecond. Adding, removing or renaming an entry sets both times;
// changing who may read the folder sets the change time.
struct FolderStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;

  bool operator==(const FolderStamp&) const = default;
  std::int64_t latestNs() const { return std::max(modifiedNs, changedNs); }
};

// The stamp of the folder at the path, links followed; nothing when the
// path cannot be looked at or is no folder.
std::optional<FolderStamp> stampOfFolder(const QByteArray& hostPath);
// The stamp of a folder already open.
std::optional<FolderStamp> stampOfOpenFolder(int fd);

// The wall clock in nanoseconds, as file times are kept.
std::int64_t nowNs();

// True for a file system whose folder times change with every change to a
// folder's entries, whoever made it. Not so: network file systems (another
// machine changes the folder, with its own clock), FUSE (its times are
// whatever the program behind it says), FAT and exFAT (cameras and other
// systems leave a folder's time as it was when files are added), and any
// type not known here.
bool keepsFolderTimes(const QString& fileSystemType);

// Which devices of this system keep folder times, from the mount table.
class FolderTimesTable {
 public:
  FolderTimesTable() = default;
  explicit FolderTimesTable(const QByteArray& mountInfo);
  // From /proc/self/mountinfo, read now; trusts nothing when unreadable.
  static FolderTimesTable ofThisSystem();

  // A device the table does not know (a btrfs subvolume that is not
  // mounted on its own shows one) is not trusted.
  bool trusts(std::uint64_t device) const;

 private:
  std::unordered_map<std::uint64_t, bool> trusted_;
};

}  // namespace platform
