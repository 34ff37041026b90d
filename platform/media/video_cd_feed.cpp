#include "platform/media/video_cd_feed.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <string>
#include <vector>

#include "platform/files/host_text.h"
#include "platform/media/video_cd_disc.h"

namespace platform {
namespace {

// Readers that were told to end but had not yet ended (one stuck in a read
// from a bad disc ends only when the drive gives up); reaped later.
std::vector<pid_t>& unreaped() {
  static std::vector<pid_t> pids;
  return pids;
}

void reapEnded() {
  std::vector<pid_t>& pids = unreaped();
  std::erase_if(pids, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

QString feedFolderTemplate() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString base = !runtime.isEmpty() && QDir(runtime).exists() ? runtime : QDir::tempPath();
  return base + QStringLiteral("/reelvista-track-XXXXXX");
}

// The reader process. Only what is safe after a fork from a process with
// threads runs here (glibc keeps malloc usable in the child), and it ends
// with _exit, never returning into the program.
struct ReaderJob {
  pid_t parent = -1;
  std::string fifo;        // where the stream goes
  std::string source;      // the disc: a device or a .cue image
  std::string pathOnDisc;  // the file whose track is read
};

[[noreturn]] void runReader(const ReaderJob& job) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != job.parent)
    ::_exit(1);
  // None of the saver's descriptors (its X connection, the pipe to the
  // guard, the player's socket) stay open here.
  ::close_range(3, ~0U, 0);
  sigset_t all;
  sigemptyset(&all);
  ::sigprocmask(SIG_SETMASK, &all, nullptr);
  ::signal(SIGPIPE, SIG_DFL);  // the player stopped reading: the reader ends
  if (const int oom = ::open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC); oom >= 0) {
    [[maybe_unused]] const ssize_t ignored = ::write(oom, "1000", 4);
    ::close(oom);
  }
  // The FIFO is opened first, whatever the disc holds: the player's open of
  // it waits for a writer, and then sees an empty stream rather than waiting
  // for ever when the track cannot be read.
  const int out = ::open(job.fifo.c_str(), O_WRONLY | O_CLOEXEC);
  if (out < 0)
    ::_exit(1);
  const VideoCdDisc disc(job.source);
  const int track = disc.trackOfFile(job.pathOnDisc);
  const bool complete = track > 0 && disc.copyTrack(track, out);
  ::_exit(complete ? 0 : 1);
}

}  // namespace

VideoCdFeed::VideoCdFeed(const QString& source, const QString& pathOnDisc)
    : folder_(feedFolderTemplate()) {
  reapEnded();
  if (!folder_.isValid())
    return;
  const QString fifo = folder_.filePath(QStringLiteral("track.mpg"));
  const ReaderJob job{::getpid(), toHostBytes(fifo).toStdString(),
                      toHostBytes(source).toStdString(), toHostBytes(pathOnDisc).toStdString()};
  if (::mkfifo(job.fifo.c_str(), 0600) != 0)
    return;
  const pid_t pid = ::fork();
  if (pid == 0)
    runReader(job);
  if (pid < 0)
    return;
  reader_ = pid;
  path_ = fifo;
}

VideoCdFeed::~VideoCdFeed() {
  if (reader_ > 0) {
    ::kill(reader_, SIGKILL);
    if (::waitpid(reader_, nullptr, WNOHANG) == 0)
      unreaped().push_back(reader_);
  }
  reapEnded();
}

}  // namespace platform
