#include "platform/files/system_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace platform {
namespace {

const QSet<QString> kKernelTypes = {
    "proc",      "sysfs",       "devtmpfs", "devpts",     "cgroup",   "cgroup2",   "debugfs",
    "tracefs",   "securityfs",  "pstore",   "bpf",        "configfs", "fusectl",   "mqueue",
    "hugetlbfs", "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",     "selinuxfs",
};

const QSet<QString> kNetworkTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph", "glusterfs", "afs", "davfs", "sshfs",
};

// Where the kernel's own file systems are on every Linux system, for the
// rare process that cannot read its mount table (no /proc): the walk still
// tells them by their type.
const std::vector<Mount> kUsualKernelMounts = {
    {"proc", "/proc", "proc"},
    {"sysfs", "/sys", "sysfs"},
    {"devtmpfs", "/dev", "devtmpfs"},
};

// Entering one may wait on a server, or mount something: an automounter's
// folder with nothing behind it yet mounts on the first look inside.
bool isRemoteOrUnmounted(const QString& type) {
  // fuseblk is a disk (NTFS, exFAT) read through FUSE; the rest of FUSE may
  // stand for anything, a remote server included.
  return kNetworkTypes.contains(type) || type == QStringLiteral("fuse") ||
         type.startsWith(QStringLiteral("fuse.")) || type == QStringLiteral("autofs");
}

bool isAtOrBelow(const QString& path, const QString& folder) {
  if (folder == QStringLiteral("/"))
    return path.startsWith('/');
  return path.startsWith(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

// A path from the root without "." or ".." parts, doubled or trailing
// slashes.
bool isCleanPath(const QString& path) {
  if (!path.startsWith('/'))
    return false;
  qsizetype start = 1;
  for (qsizetype at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/')
      continue;
    const QStringView part = QStringView(path).sliced(start, at - start);
    if ((part.isEmpty() && path.size() > 1) || part == u"." || part == u"..")
      return false;
    start = at + 1;
  }
  return true;
}

}  // namespace

SystemFolders::SystemFolders(std::vector<Mount> mounts, const QString& walkStart,
                             const QString& realStart)
    : mounts_(std::move(mounts)),
      start_(QDir::cleanPath(walkStart)),
      realStart_(realStart.isEmpty() ? start_ : QDir::cleanPath(realStart)) {
  if (mounts_.empty())
    mounts_ = kUsualKernelMounts;
  for (Mount& mount : mounts_) {
    mount.folder = QDir::cleanPath(mount.folder);
    mountsAsWalked_.insert(mount.folder);
    if (isAtOrBelow(mount.folder, realStart_))
      mountsAsWalked_.insert(QDir::cleanPath(start_ + '/' + mount.folder.mid(realStart_.size())));
  }
}

SystemFolders SystemFolders::forWalkFrom(const QString& walkStart) {
  return SystemFolders(currentMounts(), walkStart, QFileInfo(walkStart).canonicalFilePath());
}

bool SystemFolders::excludes(const QString& hostFolder) const {
  constexpr size_t kDeepest = 256;
  // Only clean paths are kept, so a plain name in a folder kept is clean.
  const qsizetype slash = hostFolder.lastIndexOf('/');
  const QStringView name = QStringView(hostFolder).sliced(slash + 1);
  const QStringView parent = slash == 0 ? QStringView(u"/") : QStringView(hostFolder).first(slash);
  const bool plainName = slash >= 0 && !name.isEmpty() && name != u"." && name != u"..";
  const auto known = !plainName
                         ? answered_.rend()
                         : std::find_if(answered_.rbegin(), answered_.rend(),
                                        [&](const auto& asked) { return asked.first == parent; });
  if (known != answered_.rend() && !mountsAsWalked_.contains(hostFolder)) {
    const bool answer = known->second;
    // Whatever was asked after the folder holding this one lies in the
    // subfolders the walk has left.
    answered_.erase(known.base(), answered_.end());
    answered_.emplace_back(hostFolder, answer);
    return answer;
  }
  const bool answer = excludesByMount(hostFolder);
  if (isCleanPath(hostFolder)) {
    if (answered_.size() >= kDeepest)
      answered_.clear();
    answered_.emplace_back(hostFolder, answer);
  }
  return answer;
}

bool SystemFolders::excludesByMount(const QString& hostFolder) const {
  const QString folder = realPathOf(hostFolder);
  const Mount* mount = holding(folder);
  if (!mount)
    return false;
  if (kKernelTypes.contains(mount->type))
    return true;
  return isRemoteOrUnmounted(mount->type) && !isAtOrBelow(realStart_, mount->folder);
}

// The last mount at or above the folder is on top: it hides whatever was
// mounted there, or below it, before.
const Mount* SystemFolders::holding(const QString& realFolder) const {
  for (auto mount = mounts_.rbegin(); mount != mounts_.rend(); ++mount) {
    if (isAtOrBelow(realFolder, mount->folder))
      return &*mount;
  }
  return nullptr;
}

// The walk lists no links to folders, so everything below its start is
// below the start's real folder by the same names.
QString SystemFolders::realPathOf(const QString& folder) const {
  QString clean = QDir::cleanPath(folder);
  if (!isAtOrBelow(clean, start_) || start_ == realStart_)
    return clean;
  return QDir::cleanPath(realStart_ + '/' + clean.mid(start_.size()));
}

}  // namespace platform
