#pragma once

#include <QSet>
#include <QString>
#include <utility>
#include <vector>

#include "platform/files/drive_table.h"

namespace platform {

// The folders a walk for media never enters, told by the file system a
// folder is on (the mount on top there, the last line of the mount table at
// or above it), never by its name:
// - a kernel file system (proc, sysfs, cgroup, debugfs and the like): its
//   entries come and go as processes do, and some block when read. Never
//   entered, wherever the walk started.
// - a network file system, FUSE (save fuseblk, which is a disk), or an
//   automounter with nothing mounted behind it yet: entering one may wait
//   for a server that does not answer, or mount one. Not entered from above;
//   a walk that starts inside one (a drive mapped to it) walks all of it.
// Every other file system is walked wherever it is mounted: a disc under
// /run/media or /media, the disc an automounter mounted, a tmpfs.
class SystemFolders {
 public:
  // realStart: walkStart with its symbolic links resolved (the mount table
  // names real folders); empty when it has none.
  SystemFolders(std::vector<Mount> mounts, const QString& walkStart, const QString& realStart = {});
  // From the mount table of this system, read now.
  static SystemFolders forWalkFrom(const QString& walkStart);

  // For a folder at or below the walk's start, or anywhere when it is real.
  bool excludes(const QString& hostFolder) const;

 private:
  bool excludesByMount(const QString& hostFolder) const;
  const Mount* holding(const QString& realFolder) const;
  QString realPathOf(const QString& folder) const;

  std::vector<Mount> mounts_;
  QString start_;
  QString realStart_;
  // The mount folders as the walk names them: below its start by the
  // start's name, elsewhere by their own.
  QSet<QString> mountsAsWalked_;
  // The folders asked for last with their answers, the walk's way down to
  // where it is now: a folder nothing is mounted on has the answer of the
  // folder holding it.
  mutable std::vector<std::pair<QString, bool>> answered_;
};

}  // namespace platform
