#include "platform/media/mpv_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <vector>

namespace platform {
namespace {

constexpr int kSocketInChild = 3;
// mpv is hung, not busy, when it leaves this much of what we sent unread.
constexpr qsizetype kMaxUnsentBytes = 4 << 20;
// Read at most this much at one time, so that a flood cannot hold the GUI.
constexpr qsizetype kReadChunk = 64 << 10;
constexpr int kChunksAtOnce = 16;

// What the child does between fork and exec: only calls that are safe in a
// forked copy of a threaded process, so no allocation and no locks.
[[noreturn]] void becomePlayer(const char* program, char* const* argv, int socket, int devNull,
                               pid_t parent, const sigset_t* noSignals) {
  setpgid(0, 0);
  // Die with the saver; if it already died, nobody would ever kill us.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent)
    _exit(127);
  // When memory runs out the kernel takes the player, never the saver.
  const int oom = open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
  if (oom >= 0) {
    const char most[] = "1000";
    if (write(oom, most, sizeof most - 1) < 0) {
    }
    close(oom);
  }
  sigprocmask(SIG_SETMASK, noSignals, nullptr);
  signal(SIGPIPE, SIG_DFL);
  // Its words go nowhere: the sound libraries it loads talk on their own.
  dup2(devNull, STDIN_FILENO);
  dup2(devNull, STDOUT_FILENO);
  dup2(devNull, STDERR_FILENO);
  if (socket == kSocketInChild)
    fcntl(socket, F_SETFD, 0);
  else
    dup2(socket, kSocketInChild);
  // Nothing of ours but the socket: not the X connection, not the pipe to
  // the guard, not the idle daemon's lock.
  if (syscall(SYS_close_range, kSocketInChild + 1, ~0U, 0) != 0) {
    for (int fd = kSocketInChild + 1; fd < 65536; ++fd)
      close(fd);
  }
  execv(program, argv);
  _exit(127);
}

}  // namespace

MpvProcess::MpvProcess(QObject* parent) : QObject(parent) {
  reaper_ = new QTimer(this);
  reaper_->setInterval(50);
  connect(reaper_, &QTimer::timeout, this, &MpvProcess::reapEnded);
}

MpvProcess::~MpvProcess() {
  kill();
  // A process killed outright ends within moments; wait that long, no more
  // (one stuck in the kernel is reaped by whoever inherits it).
  const QDeadlineTimer deadline(300);
  while (!unreaped_.isEmpty() && !deadline.hasExpired()) {
    reapEnded();
    if (!unreaped_.isEmpty())
      usleep(2000);
  }
}

bool MpvProcess::start(const QString& program, const QStringList& arguments) {
  kill();
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return false;
  const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  // Everything the child needs is made before the fork.
  const QByteArray programBytes = QFile::encodeName(program);
  QList<QByteArray> argumentBytes{programBytes};
  for (const QString& argument : arguments)
    argumentBytes << argument.toUtf8();
  std::vector<char*> argv;
  for (QByteArray& argument : argumentBytes)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  sigset_t noSignals;
  sigemptyset(&noSignals);
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid == 0)
    becomePlayer(programBytes.constData(), argv.data(), ends[1], devNull, parent, &noSignals);
  close(ends[1]);
  if (devNull >= 0)
    close(devNull);
  if (pid < 0) {
    close(ends[0]);
    return false;
  }
  setpgid(pid, pid);  // also here, so that a kill right away reaches the group
  pid_ = pid;
  socket_ = ends[0];
  fcntl(socket_, F_SETFL, fcntl(socket_, F_GETFL) | O_NONBLOCK);
  incoming_.clear();
  outgoing_.clear();
  skippingLine_ = false;
  readable_ = new QSocketNotifier(socket_, QSocketNotifier::Read, this);
  connect(readable_, &QSocketNotifier::activated, this, &MpvProcess::readSocket);
  writable_ = new QSocketNotifier(socket_, QSocketNotifier::Write, this);
  writable_->setEnabled(false);
  connect(writable_, &QSocketNotifier::activated, this, &MpvProcess::writeSocket);
  return true;
}

bool MpvProcess::send(const QByteArray& line) {
  if (socket_ < 0 || outgoing_.size() > kMaxUnsentBytes)
    return false;
  outgoing_ += line;
  outgoing_ += '\n';
  writeSocket();
  return true;
}

void MpvProcess::writeSocket() {
  while (socket_ >= 0 && !outgoing_.isEmpty()) {
    const ssize_t sent = ::send(socket_, outgoing_.constData(),
                                static_cast<size_t>(outgoing_.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      outgoing_.remove(0, sent);
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else {
      // Full: wait until mpv reads. Broken: the reading side sees the end.
      if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
        outgoing_.clear();
      break;
    }
  }
  if (writable_)
    writable_->setEnabled(socket_ >= 0 && !outgoing_.isEmpty());
}

void MpvProcess::readSocket() {
  QPointer<MpvProcess> alive(this);
  for (int chunk = 0; chunk < kChunksAtOnce && socket_ >= 0; ++chunk) {
    char buffer[kReadChunk];
    const ssize_t got = ::recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return;
    if (got <= 0) {
      kill();
      emit gone();
      return;
    }
    incoming_.append(buffer, got);
    takeLines();
    if (!alive)
      return;
  }
}

// One line at a time, taken out before it is handed on: a handler may run a
// nested event loop that reads the socket again, or end with us gone.
void MpvProcess::takeLines() {
  QPointer<MpvProcess> alive(this);
  while (alive && socket_ >= 0) {
    const qsizetype end = incoming_.indexOf('\n');
    if (end < 0) {
      if (incoming_.size() > kMaxLineBytes) {
        incoming_.clear();
        skippingLine_ = true;
      }
      return;
    }
    const QByteArray line = incoming_.left(end);
    incoming_.remove(0, end + 1);
    if (skippingLine_) {
      skippingLine_ = false;  // the tail of the line too long to keep
      continue;
    }
    if (!line.isEmpty())
      emit lineReceived(line);
  }
}

void MpvProcess::closeSocket() {
  delete readable_;
  readable_ = nullptr;
  delete writable_;
  writable_ = nullptr;
  if (socket_ >= 0)
    close(socket_);
  socket_ = -1;
  incoming_.clear();
  outgoing_.clear();
}

void MpvProcess::kill() {
  closeSocket();
  if (pid_ <= 0)
    return;
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);  // in case it never got to its own group
  unreaped_ << pid_;
  pid_ = -1;
  reapEnded();
}

void MpvProcess::reapEnded() {
  for (qsizetype i = unreaped_.size() - 1; i >= 0; --i) {
    const pid_t ended = waitpid(unreaped_[i], nullptr, WNOHANG);
    if (ended == unreaped_[i] || (ended < 0 && errno == ECHILD))
      unreaped_.removeAt(i);
  }
  if (unreaped_.isEmpty())
    reaper_->stop();
  else if (!reaper_->isActive())
    reaper_->start();
}

}  // namespace platform
