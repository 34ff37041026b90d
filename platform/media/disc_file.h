#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "platform/files/drive_table.h"

namespace platform {

// Where a file of a mounted optical disc lies: the disc's device and the
// file's path from the disc's root.
struct DiscFile {
  QString device;      // "/dev/sr0"
  QString pathOnDisc;  // "/MPEGAV/AVSEQ01.DAT"
};

// The disc file behind a host path: the mount whose folder is the deepest one
// holding the path (the last of equals, which hides the others), when it
// mounts an optical disc's file system (ISO 9660 or UDF). Empty otherwise.
std::optional<DiscFile> discFileOf(const QString& path, const std::vector<Mount>& mounts);

// A Video CD track that the file system cannot read: a ".DAT" file (in any
// case) on a mounted optical disc whose first read fails, as a Mode 2 Form 2
// track's does. A .DAT file that reads (a copied track, a RIFF/CDXA file) is
// played as any other file. Empty when the path is not such a track.
std::optional<DiscFile> unreadableVideoCdTrack(const QString& path,
                                               const std::vector<Mount>& mounts);

}  // namespace platform
