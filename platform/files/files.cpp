#include "platform/files/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/files/file_descriptor.h"
#include "platform/files/host_text.h"

namespace platform {
namespace {

QString systemReason(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void throwOpenFailure(const QString& path, int error) {
  if (error == ENOENT && QFileInfo(QFileInfo(path).path()).isDir()) {
    throw PlatformError(ErrorNumber::FileNotFound, "File not found: " + path);
  }
  if (error == ENOENT || error == ENOTDIR) {
    throw PlatformError(ErrorNumber::PathNotFound, "Path not found: " + path);
  }
  throw PlatformError(ErrorNumber::Other, "Cannot open " + path + ": " + systemReason(error));
}

}  // namespace

QByteArray readWholeFile(const QString& path) {
  const QByteArray hostPath = toHostBytes(path);
  // O_NONBLOCK: a FIFO put in the file's place must not hang the program.
  FileDescriptor file(::open(hostPath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0)
    throwOpenFailure(path, errno);
  QByteArray contents;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count == 0)
      break;
    if (count < 0) {
      if (errno == EINTR)
        continue;
      throw PlatformError(ErrorNumber::Other, "Cannot read " + path + ": " + systemReason(errno));
    }
    contents.append(buffer, count);
  }
  return contents;
}

std::optional<QByteArray> readWholeFileIfAny(const QString& path) {
  try {
    return readWholeFile(path);
  } catch (const PlatformError&) {
    return std::nullopt;
  }
}

QString userConfigFolder() {
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  const QString base = xdg.isEmpty() ? qEnvironmentVariable("HOME") + "/.config" : xdg;
  return base + "/reelvista";
}

QString userRuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty())
    folder = QDir::tempPath();
  return folder;
}

void replaceFile(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    throw PlatformError(ErrorNumber::Other, "Cannot save " + path + ": " + file.errorString());
  }
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    throw PlatformError(ErrorNumber::Other, "Cannot save " + path + ": " + file.errorString());
  }
}

}  // namespace platform
