// The watcher of the soak (bench/soak.sh): starts the saver and follows its
// clip changes from outside, through inotify on the folder of the clips.
//
//   bench_soak <clip-folder> <changes> <every> <seconds> <program> [args...]
//
// The player opens a clip once as it starts it and holds it open until the
// next one replaces it, so an opening of a clip not open already is a clip
// start; each start after the first is a clip change. A clip counts as
// closed at its first close: inotify merges identical events in a row (two
// closes of one clip may read as one), so counting opens against closes
// would drift. Every <every> changes it prints the figures of the program it
// started and every process below it (the guard, the saver and its player),
// summed, from /proc:
//   sample <change> <seconds> <VmRSS kB> <open fds> <threads> <processes>
// At the end, after <changes> changes or not, it prints
//   played <clip starts> <distinct clips> <same clip twice in a row> <longest gap ms>
// ends the saver with SIGTERM (if it still runs) and prints how it ended:
//   status <exit status>        (or "signal <number>" when a signal ended it)
// Exit status: 0 when the changes were reached, 2 when the saver ended on its
// own, 3 when <seconds> ran out first, 1 for anything else.
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "bench_soak: %s: %s\n", what, std::strerror(errno));
  std::exit(1);
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The parent of a process, from /proc/<pid>/stat; -1 when it is gone.
pid_t parentOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line))
    return -1;
  // The name in parentheses may hold anything; the fields after it are
  // the state and the parent.
  const std::size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string::npos)
    return -1;
  char state = 0;
  int parent = -1;
  if (std::sscanf(line.c_str() + nameEnd + 1, " %c %d", &state, &parent) != 2)
    return -1;
  return parent;
}

// The process and every process below it, the process first.
std::vector<pid_t> processTree(pid_t root) {
  std::vector<pid_t> all;
  std::vector<std::pair<pid_t, pid_t>> parents;  // of every process on the machine
  if (DIR* proc = ::opendir("/proc")) {
    while (const dirent* entry = ::readdir(proc)) {
      const pid_t pid = std::atoi(entry->d_name);
      if (pid > 0)
        parents.emplace_back(pid, parentOf(pid));
    }
    ::closedir(proc);
  }
  all.push_back(root);
  for (std::size_t next = 0; next < all.size(); ++next) {
    for (const auto& [pid, parent] : parents) {
      if (parent == all[next])
        all.push_back(pid);
    }
  }
  return all;
}

// What one process, or a tree of them, holds.
struct Holding {
  long rssKb = 0;
  long threads = 0;
  long fds = 0;
  long processes = 0;
};

// "VmRSS" and "Threads" from /proc/<pid>/status, and the count of
// /proc/<pid>/fd, added to <sum>.
void addHolding(pid_t pid, Holding& sum) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    long value = 0;
    if (key == "VmRSS:" && status >> value)
      sum.rssKb += value;
    else if (key == "Threads:" && status >> value)
      sum.threads += value;
    status.ignore(1 << 20, '\n');
  }
  if (DIR* folder = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
    while (const dirent* entry = ::readdir(folder)) {
      if (entry->d_name[0] != '.')
        ++sum.fds;
    }
    ::closedir(folder);
  }
  ++sum.processes;
}

pid_t start(char** argv) {
  const pid_t pid = ::fork();
  if (pid < 0)
    fail("fork");
  if (pid == 0) {
    ::dup2(STDERR_FILENO, STDOUT_FILENO);  // the saver's words stay out of the figures
    ::execv(argv[0], argv);
    std::perror(argv[0]);
    ::_exit(127);
  }
  return pid;
}

// What the clip starts showed.
struct Tally {
  long starts = 0;
  long repeats = 0;  // the same clip twice in a row
  std::string last;
  std::set<std::string> played;
  double longestGapMs = 0;

  long changes() const { return starts > 0 ? starts - 1 : 0; }
};

// Prints the tally, ends the saver with SIGTERM (if it still runs; SIGKILL
// when it is still there 10 s later) and prints how it ended. <ended> is the
// saver's pidfd.
void finish(pid_t pid, int ended, const Tally& tally) {
  std::printf("played %ld %zu %ld %.0f\n", tally.starts, tally.played.size(), tally.repeats,
              tally.longestGapMs);
  ::kill(pid, SIGTERM);
  pollfd wait{ended, POLLIN, 0};
  if (::poll(&wait, 1, 10'000) == 0) {
    std::fprintf(stderr, "bench_soak: the saver was still there 10 s after SIGTERM\n");
    ::kill(pid, SIGKILL);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid)
    fail("waitpid");
  if (WIFEXITED(status))
    std::printf("status %d\n", WEXITSTATUS(status));
  else
    std::printf("signal %d\n", WTERMSIG(status));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: bench_soak <clip-folder> <changes> <every> <seconds> <program> "
                 "[args...]\n");
    return 1;
  }
  const std::string folder = argv[1];
  const long changesWanted = std::atol(argv[2]);
  const long every = std::atol(argv[3]);
  const double secondsAllowed = std::atof(argv[4]);
  if (changesWanted <= 0 || every <= 0 || secondsAllowed <= 0) {
    std::fprintf(stderr, "bench_soak: changes, every and seconds must be positive\n");
    return 1;
  }

  // The watch is in place before the saver starts, so its first open counts.
  const int notes = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (notes < 0)
    fail("inotify_init1");
  if (::inotify_add_watch(notes, folder.c_str(), IN_OPEN | IN_CLOSE) < 0)
    fail(folder.c_str());

  const Clock::time_point begin = Clock::now();
  const pid_t pid = start(argv + 5);
  const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (ended < 0)
    fail("pidfd_open");

  std::set<std::string> open;  // the clips held open now
  Tally tally;
  Clock::time_point allClosed = begin;

  alignas(inotify_event) char buffer[64 * 1024];
  while (tally.changes() < changesWanted) {
    const double left = secondsAllowed - secondsSince(begin);
    if (left <= 0) {
      std::fprintf(stderr, "bench_soak: %ld changes in %.0f s\n", tally.changes(), secondsAllowed);
      finish(pid, ended, tally);
      return 3;
    }
    pollfd waits[] = {{notes, POLLIN, 0}, {ended, POLLIN, 0}};
    if (::poll(waits, 2, static_cast<int>(left * 1000) + 1) < 0) {
      if (errno == EINTR)
        continue;
      fail("poll");
    }
    if (waits[1].revents) {
      std::fprintf(stderr, "bench_soak: the saver ended on its own after %ld changes\n",
                   tally.changes());
      finish(pid, ended, tally);
      return 2;
    }
    const ssize_t size = ::read(notes, buffer, sizeof buffer);
    if (size < 0) {
      if (errno == EAGAIN || errno == EINTR)
        continue;
      fail("read");
    }
    for (ssize_t at = 0; at < size;) {
      const auto* note = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + note->len);
      if (note->mask & IN_Q_OVERFLOW) {
        std::fprintf(stderr, "bench_soak: inotify lost events\n");
        finish(pid, ended, tally);
        return 1;
      }
      if (note->len == 0 || (note->mask & IN_ISDIR))
        continue;
      const std::string name = note->name;
      if (note->mask & IN_OPEN) {
        const bool noneOpen = open.empty();
        if (!open.insert(name).second)
          continue;  // one more opening of the clip playing
        const double gapMs =
            std::chrono::duration<double, std::milli>(Clock::now() - allClosed).count();
        if (tally.starts > 0 && noneOpen && gapMs > tally.longestGapMs)
          tally.longestGapMs = gapMs;
        if (name == tally.last)
          ++tally.repeats;
        tally.last = name;
        tally.played.insert(name);
        const long change = tally.starts++;
        if (change > 0 && change % every == 0) {
          Holding sum;
          for (const pid_t member : processTree(pid))
            addHolding(member, sum);
          std::printf("sample %ld %.1f %ld %ld %ld %ld\n", change, secondsSince(begin), sum.rssKb,
                      sum.fds, sum.threads, sum.processes);
          std::fflush(stdout);
        }
        if (change >= changesWanted)
          break;
      } else if (open.erase(name) > 0 && open.empty()) {  // a close
        allClosed = Clock::now();
      }
    }
  }
  finish(pid, ended, tally);
  return 0;
}
