#include "platform/files/system_folders.h"

#include <QDir>
#include <QSet>
#include <algorithm>

namespace platform {
namespace {

const QStringList kSystemFolders = {"/proc", "/sys", "/dev", "/run"};

const QSet<QString> kKernelTypes = {
    "proc",      "sysfs",      "devtmpfs",    "devpts",   "cgroup",     "cgroup2", "debugfs",
    "tracefs",   "securityfs", "pstore",      "bpf",      "configfs",   "fusectl", "mqueue",
    "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",    "selinuxfs",
};

const QSet<QString> kNetworkTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph", "glusterfs", "afs", "davfs", "sshfs",
};

bool isNetworkOrFuse(const QString& type) {
  // fuseblk is a disk (NTFS, exFAT) read through FUSE; the rest of FUSE may
  // stand for anything, a remote server included.
  return kNetworkTypes.contains(type) || type == QStringLiteral("fuse") ||
         type.startsWith(QStringLiteral("fuse."));
}

bool isAtOrBelow(const QString& path, const QString& folder) {
  if (folder == QStringLiteral("/"))
    return true;
  return path == folder || path.startsWith(folder + '/');
}

}  // namespace

SystemFolders::SystemFolders(const std::vector<Mount>& mounts, const QString& walkStart)
    : excluded_(kSystemFolders) {
  const QString start = QDir::cleanPath(walkStart);
  for (const Mount& mount : mounts) {
    const QString folder = QDir::cleanPath(mount.folder);
    if (folder == QStringLiteral("/"))
      continue;  // the root itself is never left out
    if (kKernelTypes.contains(mount.type) ||
        (isNetworkOrFuse(mount.type) && !isAtOrBelow(start, folder)))
      excluded_ << folder;
  }
}

SystemFolders SystemFolders::forWalkFrom(const QString& walkStart) {
  return SystemFolders(currentMounts(), walkStart);
}

bool SystemFolders::excludes(const QString& hostFolder) const {
  const QString folder = QDir::cleanPath(hostFolder);
  return std::any_of(excluded_.begin(), excluded_.end(),
                     [&](const QString& excluded) { return isAtOrBelow(folder, excluded); });
}

}  // namespace platform
