#include "platform/files/scan_memory_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/files/file_descriptor.h"
#include "platform/files/host_text.h"

namespace platform {
namespace {

// Moves size bytes through read(2) or write(2), which may move fewer a
// call or be interrupted.
template <typename Move>
bool moveAll(qsizetype size, Move move) {
  qsizetype done = 0;
  while (done < size) {
    const ssize_t count = move(done, static_cast<size_t>(size - done));
    if (count < 0 && errno == EINTR)
      continue;
    if (count <= 0)
      return false;
    done += count;
  }
  return true;
}

bool writeAll(int fd, const QByteArray& bytes) {
  return moveAll(bytes.size(), [&](qsizetype done, size_t left) {
    return ::write(fd, bytes.constData() + done, left);
  });
}

bool readAll(int fd, QByteArray& bytes) {
  return moveAll(bytes.size(), [&](qsizetype done, size_t left) {
    return ::read(fd, bytes.data() + done, left);
  });
}

// No flush to the disc: a file cut short by a crash is found damaged and
// costs one full walk.
bool writeBeside(const QByteArray& target, const QByteArray& bytes) {
  QByteArray temporary = target + ".XXXXXX";
  const FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.get() < 0)
    return false;
  if (!writeAll(file.get(), bytes) || ::rename(temporary.constData(), target.constData()) != 0) {
    ::unlink(temporary.constData());
    return false;
  }
  return true;
}

}  // namespace

QString scanMemoryPath() {
  QString base = qEnvironmentVariable("XDG_CACHE_HOME");
  if (!base.startsWith('/')) {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.startsWith('/'))
      return {};
    base = home + "/.cache";
  }
  return base + "/reelvista/scan-memory";
}

std::optional<QByteArray> readOwnFile(const QString& path, qint64 maxBytes) {
  const FileDescriptor file(
      ::open(toHostBytes(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0)
    return std::nullopt;
  if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_size > maxBytes)
    return std::nullopt;
  QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
  if (!readAll(file.get(), bytes))
    return std::nullopt;
  return bytes;
}

bool replaceOwnFile(const QString& path, const QByteArray& bytes) {
  const QString folder = QFileInfo(path).absolutePath();
  const QByteArray hostFolder = toHostBytes(folder);
  if (::mkdir(hostFolder.constData(), 0700) != 0 && errno != EEXIST) {
    // The cache folder's parent may be missing too (a first start).
    if (!QDir().mkpath(folder))
      return false;
    ::chmod(hostFolder.constData(), 0700);
  }
  return writeBeside(toHostBytes(path), bytes);
}

QList<quint32> readerIdentity() {
  QList<quint32> identity{::geteuid(), ::getegid()};
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
  if (count > 0 && ::getgroups(count, groups.data()) == count) {
    std::sort(groups.begin(), groups.end());
    identity.append(QList<quint32>(groups.begin(), groups.end()));
  }
  return identity;
}

}  // namespace platform
