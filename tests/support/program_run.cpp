#include "support/program_run.h"

#include <signal.h>
#include <sys/resource.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <memory>
#include <stdexcept>

#include "platform/lock/guard_link.h"
#include "support/overlay_windows.h"

namespace {

QString requiredEnvironment(const char* name) {
  QString value = qEnvironmentVariable(name);
  if (value.isEmpty())
    throw std::runtime_error(std::string(name) + " is not set");
  return value;
}

QString runTool(const QString& tool, const QStringList& arguments) {
  QProcess process;
  process.start(tool, arguments);
  process.waitForFinished(20000);
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The process and its children: in saver mode the windows belong to the
// saver, which the guard (the process started) runs as its child.
QStringList processFamily(qint64 pid) {
  QStringList family{QString::number(pid)};
  QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
  if (children.open(QIODevice::ReadOnly))
    family += QString::fromLatin1(children.readAll()).split(' ', Qt::SkipEmptyParts);
  return family;
}

QString searchWindows(qint64 pid, const QString& title, bool locked) {
  const QStringList family = processFamily(pid);
  for (const QString& member : family) {
    QString found = ProgramRun::xdotool(
        {"search", "--all", "--onlyvisible", "--pid", member, "--name", "^" + title + "$"});
    if (!found.isEmpty())
      return found;
  }
  return locked ? overlayWindows(family, title) : QString();
}

}  // namespace

bool haveDisplay() {
  return !qEnvironmentVariable("DISPLAY").isEmpty();
}

ProgramRun::ProgramRun() : environment_(QProcessEnvironment::systemEnvironment()) {
  const QString built = requiredEnvironment("REELVISTA_EXECUTABLE");
  executable_ = folder_ / QFileInfo(built).fileName();
  if (!QFile::copy(built, executable_))
    throw std::runtime_error("cannot copy the executable");
  QDir().mkpath(home_ / "config/reelvista");
  QDir().mkpath(home_ / "runtime");
  QFile::setPermissions(home_ / "runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  environment_.insert("XDG_CONFIG_HOME", home_ / "config");
  environment_.insert("XDG_CACHE_HOME", home_ / "cache");
  environment_.insert("XDG_RUNTIME_DIR", home_ / "runtime");
  environment_.remove("QT_QPA_PLATFORM");
}

ProgramRun::~ProgramRun() {
  if (process_ && process_->state() != QProcess::NotRunning) {
    // The saver outlives a guard killed outright, by design: end it too.
    const qint64 saver = saverProcessId();
    process_->kill();
    if (saver > 0)
      ::kill(static_cast<pid_t>(saver), SIGKILL);
    process_->waitForFinished(5000);
  }
}

// The saver is the child the guard started with its socket named in the
// environment; a child without it is something else (LeakSanitizer's
// tracer, which it clones while the guard exits, in the sanitized build).
qint64 ProgramRun::saverProcessId() const {
  const QByteArray name = QByteArray(platform::kGuardDescriptorVariable) + "=";
  const QStringList family = processFamily(processId());
  for (const QString& child : family.mid(1)) {
    QFile environment(QStringLiteral("/proc/%1/environ").arg(child));
    if (!environment.open(QIODevice::ReadOnly))
      continue;
    for (const QByteArray& variable : environment.readAll().split('\0')) {
      if (variable.startsWith(name))
        return child.toLongLong();
    }
  }
  return 0;
}

QString ProgramRun::configFolder() const {
  return home_ / "config/reelvista";
}

QString ProgramRun::runtimeFolder() const {
  return home_ / "runtime";
}

void ProgramRun::writeSettingsFile(const QByteArray& bytes) const {
  folder_.write("ReelvistaSaver.INI", bytes);
}

QByteArray ProgramRun::settingsFile() const {
  return folder_.read("ReelvistaSaver.INI");
}

void ProgramRun::setEnvironment(const QString& name, const QString& value) {
  environment_.insert(name, value);
}

void ProgramRun::requirePassword(const PamMatrix& pam) {
  locked_ = true;
  for (const auto& [name, value] : pam.environment())
    setEnvironment(name, value);
  QFile setting(configFolder() + "/user.reg");
  if (!setting.open(QIODevice::WriteOnly))
    throw std::runtime_error("cannot write user.reg");
  setting.write(
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
      "\"ScreenSaveUsePassword\"=dword:00000001\r\n");
}

void ProgramRun::start(const QStringList& arguments) {
  process_ = std::make_unique<QProcess>();
  process_->setProcessEnvironment(environment_);
  process_->setWorkingDirectory(folder_.path());
  if (const rlim_t most = mostDescriptors_; most > 0) {
    process_->setChildProcessModifier([most] {
      const rlimit limit{most, most};
      ::setrlimit(RLIMIT_NOFILE, &limit);
    });
  }
  process_->start(executable_, arguments);
  if (!process_->waitForStarted(10000))
    throw std::runtime_error("the program did not start");
}

std::optional<int> ProgramRun::waitForExit(int milliseconds) {
  if (!process_->waitForFinished(milliseconds) && process_->state() != QProcess::NotRunning) {
    return std::nullopt;
  }
  if (process_->exitStatus() != QProcess::NormalExit)
    return -1;
  return process_->exitCode();
}

QString ProgramRun::standardError() {
  // QProcess reads the program's pipes only while it waits: a look without
  // waiting takes in what has come so far.
  if (process_->state() == QProcess::Running)
    process_->waitForFinished(0);
  return QString::fromLocal8Bit(process_->readAllStandardError());
}

QString ProgramRun::waitForWindow(const QString& title, int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  while (!deadline.hasExpired()) {
    const QString found = searchWindows(process_->processId(), title, locked_);
    if (!found.isEmpty())
      return found.split('\n').first();
    QThread::msleep(100);
  }
  return {};
}

QStringList ProgramRun::shownWindows(const QString& title) const {
  return searchWindows(process_->processId(), title, locked_).split('\n', Qt::SkipEmptyParts);
}

bool ProgramRun::waitForNoWindow(const QString& title, int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  // A search that meets a window being destroyed fails and finds nothing, so
  // the window counts as gone only when two searches in a row find nothing.
  int misses = 0;
  while (true) {
    const QString found = searchWindows(process_->processId(), title, locked_);
    misses = found.isEmpty() ? misses + 1 : 0;
    if (misses == 2)
      return true;
    if (deadline.hasExpired() && misses == 0)
      return false;
    QThread::msleep(misses ? 20 : 100);
  }
}

bool ProgramRun::waitForFocus(const QString& window, int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  while (xdotool({"getwindowfocus"}) != window) {
    if (deadline.hasExpired())
      return false;
    QThread::msleep(20);
  }
  return true;
}

QRect ProgramRun::windowGeometry(const QString& window) {
  return rectangleOnScreen(window);
}

QString ProgramRun::xdotool(const QStringList& arguments) {
  return runTool("xdotool", arguments);
}

QString ProgramRun::screenshot(const QString& name, const QString& folder) {
  const QString directory = qEnvironmentVariable("REELVISTA_SCREENSHOTS", folder);
  QDir().mkpath(directory);
  QString file = directory + "/" + name + ".png";
  runTool("ffmpeg", {"-loglevel", "error", "-y", "-f", "x11grab", "-i",
                     qEnvironmentVariable("DISPLAY"), "-frames:v", "1", file});
  return file;
}
