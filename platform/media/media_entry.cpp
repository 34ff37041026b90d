#include "platform/media/media_entry.h"

#include "platform/media/real_metafile.h"

namespace platform {

MediaEntry mediaEntryOf(const QString& path, const std::vector<Mount>& mounts) {
  if (isRealMetafileName(path))
    return {readRealMetafile(path), std::nullopt};
  return {{path}, unreadableVideoCdTrack(path, mounts)};
}

}  // namespace platform
