#include "platform/media/disc_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "platform/files/host_text.h"

namespace platform {
namespace {

bool isOpticalFileSystem(const QString& type) {
  return type == QLatin1String("iso9660") || type == QLatin1String("udf");
}

// True when the folder holds the path: the same folder, or a folder above it.
bool holds(const QString& folder, const QString& path) {
  if (folder == QLatin1String("/"))
    return path.startsWith('/');
  return path == folder || path.startsWith(folder + '/');
}

// Reads the first byte. A Mode 2 Form 2 track fails here with EIO (the drive
// refuses the sector) or EINVAL; an empty file reads as data too.
bool readsAsData(const QString& path) {
  const int fd = ::open(toHostBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    return true;  // it fails for another reason than its sectors: not ours to read
  char byte = 0;
  ssize_t got = -1;
  do {
    got = ::read(fd, &byte, 1);
  } while (got < 0 && errno == EINTR);
  ::close(fd);
  return got >= 0;
}

}  // namespace

std::optional<DiscFile> discFileOf(const QString& path, const std::vector<Mount>& mounts) {
  // The mount table names folders without links; so must the path. The file's
  // own name stays: it is the name the disc lists.
  const QFileInfo info(path);
  const QString folderOfFile = info.absoluteDir().canonicalPath();
  const QString file = folderOfFile.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                                              : QDir(folderOfFile).filePath(info.fileName());
  const Mount* deepest = nullptr;
  for (const Mount& mount : mounts) {
    const QString folder = QDir::cleanPath(mount.folder);
    if (holds(folder, file) &&
        (!deepest || folder.size() >= QDir::cleanPath(deepest->folder).size()))
      deepest = &mount;
  }
  if (!deepest || !isOpticalFileSystem(deepest->type))
    return std::nullopt;
  const QString folder = QDir::cleanPath(deepest->folder);
  QString inside = file.mid(folder == QLatin1String("/") ? 0 : folder.size());
  if (inside.isEmpty())
    inside = QStringLiteral("/");
  return DiscFile{deepest->device, inside};
}

std::optional<DiscFile> unreadableVideoCdTrack(const QString& path,
                                               const std::vector<Mount>& mounts) {
  if (!path.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive))
    return std::nullopt;
  std::optional<DiscFile> disc = discFileOf(path, mounts);
  if (!disc || readsAsData(path))
    return std::nullopt;
  return disc;
}

}  // namespace platform
