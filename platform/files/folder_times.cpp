#include "platform/files/folder_times.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QList>
#include <QSet>
#include <ctime>

#include "platform/files/files.h"

namespace platform {
namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

std::int64_t nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * kNsPerSecond + time.tv_nsec;
}

std::optional<FolderStamp> stampOf(const struct stat& info) {
  if (!S_ISDIR(info.st_mode))
    return std::nullopt;
  return FolderStamp{info.st_dev, info.st_ino, nanoseconds(info.st_mtim),
                     nanoseconds(info.st_ctim)};
}

// Local disks and read-only media, whose folder times the kernel keeps.
const QSet<QString> kKeepingTypes = {
    "ext2",     "ext3",   "ext4",    "xfs",      "btrfs", "f2fs",    "jfs",
    "reiserfs", "nilfs2", "zfs",     "bcachefs", "tmpfs", "ramfs",   "overlay",
    "squashfs", "erofs",  "iso9660", "udf",      "ntfs3", "hfsplus",
};

// One line of /proc/self/mountinfo: "36 35 98:0 /mnt1 /mnt2 rw - ext3
// /dev/root rw": the device is the third field, the type the first after
// the lone "-".
void addMount(const QByteArray& line, std::unordered_map<std::uint64_t, bool>& trusted) {
  const QList<QByteArray> fields = line.split(' ');
  const qsizetype separator = fields.indexOf("-");
  if (fields.size() < 3 || separator < 0 || separator + 1 >= fields.size())
    return;
  const QList<QByteArray> numbers = fields[2].split(':');
  bool majorOk = false;
  bool minorOk = false;
  const unsigned major = numbers.value(0).toUInt(&majorOk);
  const unsigned minor = numbers.value(1).toUInt(&minorOk);
  if (numbers.size() != 2 || !majorOk || !minorOk)
    return;
  const bool keeps = keepsFolderTimes(QString::fromUtf8(fields[separator + 1]));
  // Two mounts of one device are one file system; a doubt about either wins.
  const auto [at, added] = trusted.emplace(makedev(major, minor), keeps);
  if (!added)
    at->second = at->second && keeps;
}

}  // namespace

std::optional<FolderStamp> stampOfFolder(const QByteArray& hostPath) {
  struct stat info {};
  if (::stat(hostPath.constData(), &info) != 0)
    return std::nullopt;
  return stampOf(info);
}

std::optional<FolderStamp> stampOfOpenFolder(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0)
    return std::nullopt;
  return stampOf(info);
}

std::int64_t nowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return nanoseconds(now);
}

bool keepsFolderTimes(const QString& fileSystemType) {
  return kKeepingTypes.contains(fileSystemType);
}

FolderTimesTable::FolderTimesTable(const QByteArray& mountInfo) {
  for (const QByteArray& line : mountInfo.split('\n'))
    addMount(line, trusted_);
}

FolderTimesTable FolderTimesTable::ofThisSystem() {
  return FolderTimesTable(readWholeFileIfAny(QStringLiteral("/proc/self/mountinfo")).value_or(""));
}

bool FolderTimesTable::trusts(std::uint64_t device) const {
  const auto found = trusted_.find(device);
  return found != trusted_.end() && found->second;
}

}  // namespace platform
