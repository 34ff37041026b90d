#include "platform/process.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>
#include <cstdio>

#include "platform/files/files.h"
#include "platform/files/host_text.h"

namespace platform {
namespace {

QString instanceLockPath() {
  return userRuntimeFolder() + "/reelvista.lock";
}

}  // namespace

DesktopProcess::DesktopProcess(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i)
    arguments << fromHostBytes(argv[i]);
  commandLine_ = arguments.join(' ');
}

DesktopProcess::~DesktopProcess() = default;

QString DesktopProcess::executableFolder() const {
  return QFileInfo(QFileInfo("/proc/self/exe").canonicalFilePath()).path();
}

QString DesktopProcess::settingsFolder() const {
  QString beside = executableFolder();
  if (::access(QFile::encodeName(beside).constData(), W_OK) == 0)
    return beside;
  QString own = userConfigFolder();
  QDir().mkpath(own);
  return own;
}

QString DesktopProcess::currentFolder() const {
  return QDir::currentPath();
}

bool DesktopProcess::anotherInstanceRunning() {
  if (instanceLock_)
    return false;  // this process already holds the lock
  auto lock = std::make_unique<QLockFile>(instanceLockPath());
  // A lock left by a process that died is stale: QLockFile sees that its
  // owner no longer runs and takes it over.
  lock->setStaleLockTime(0);
  if (!lock->tryLock(0))
    return lock->error() == QLockFile::LockFailedError;
  instanceLock_ = std::move(lock);
  return false;
}

void DesktopProcess::endAtOnce(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  // The lock file is ours; leave no stale file behind for the next start.
  if (instanceLock_)
    instanceLock_->unlock();
  ::_exit(status);
}

}  // namespace platform
