#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "platform/files/drive_table.h"

namespace platform {

// The folders a walk for media never enters, because they hold no real files
// or because reading them can hang:
// - the system's own: /proc, /sys, /dev and /run, whatever is mounted there;
// - any folder with a kernel file system mounted on it (proc, sysfs, cgroup,
//   debugfs and the like): their entries come and go as processes do, and
//   some block when read;
// - a network or FUSE file system mounted below where the walk started: a
//   server that does not answer would stop the walk for good. A walk that
//   starts on one (a drive mapped to it) walks it, as asked.
// A tmpfs elsewhere (/tmp on many systems) holds real files and is walked.
class SystemFolders {
 public:
  SystemFolders(const std::vector<Mount>& mounts, const QString& walkStart);
  // From the mount table of this system, read now; without one (no /proc),
  // the system's own folders are still left out.
  static SystemFolders forWalkFrom(const QString& walkStart);

  bool excludes(const QString& hostFolder) const;

 private:
  QStringList excluded_;  // each with everything below it
};

}  // namespace platform
