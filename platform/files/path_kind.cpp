#include "platform/files/path_kind.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>

#include "platform/files/host_text.h"

namespace platform {
namespace {

bool isFolder(const QString& path) {
  struct stat status {};
  return ::stat(toHostBytes(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The folder a relative name without a slash lives in is the current one.
QString folderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0)
    return QStringLiteral(".");
  return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

}  // namespace

PathKind pathKind(const QString& path) {
  if (path.isEmpty())
    return PathKind::SomethingElse;
  const QByteArray host = toHostBytes(path);
  // A zero byte cannot be part of a name: the system would read only the
  // name before it, which is another file.
  if (host.contains('\0'))
    return PathKind::SomethingElse;
  struct stat status {};
  if (::stat(host.constData(), &status) == 0) {
    if (S_ISREG(status.st_mode) && ::access(host.constData(), R_OK) == 0)
      return PathKind::ReadableFile;
    return PathKind::SomethingElse;
  }
  // A name ending in a slash names a folder, never a file.
  if (errno == ENOENT && !path.endsWith('/') && isFolder(folderOf(path)))
    return PathKind::MissingFile;
  return PathKind::SomethingElse;
}

}  // namespace platform
