#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "platform/files/drive_table.h"
#include "platform/media/disc_file.h"

namespace platform {

// What the player plays for one entry of the play list.
struct MediaEntry {
  // The files, played one after another as one file; empty when nothing
  // would play. A RealMedia metafile's are the local files it names; any
  // other entry's is the entry itself.
  QStringList files;
  // Set when the one file is a Video CD track the file system cannot read:
  // it is read raw from its disc.
  std::optional<DiscFile> track;
};

MediaEntry mediaEntryOf(const QString& path, const std::vector<Mount>& mounts);

}  // namespace platform
