// Other screen savers running the built program as one of their hacks, for
// real, under Xvfb: xscreensaver (which runs no hack as root, so the test
// runs it as the user nobody) and xsecurelock, on one screen and on two
// monitors. The clip's colour on the screen shows it plays; ending the
// host's saver ends it and its mpv.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <optional>

#include "support/host_display.h"
#include "support/media.h"
#include "support/program_run.h"
#include "support/screen_probe.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"
#include "support/wait.h"

namespace {

const QColor kRed(255, 0, 0);
// A host takes its time: it fades, forks helpers, maps its windows.
constexpr int kHostMs = 15000;

QString program() {
  return QFileInfo(qEnvironmentVariable("REELVISTA_EXECUTABLE")).canonicalFilePath();
}

// The built program's running processes.
QList<qint64> runningPrograms() {
  QList<qint64> found;
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
    const qint64 pid = entry.toLongLong();
    if (pid > 0 && processRuns(pid) &&
        QFileInfo("/proc/" + entry + "/exe").canonicalFilePath() == program())
      found << pid;
  }
  return found;
}

QList<qint64> runningPlayers() {
  QList<qint64> found;
  for (const qint64 pid : runningPrograms())
    found << mpvChildrenOf(pid);
  return found;
}

// A home of the user a host runs as: the settings file naming a red clip,
// where a program installed out of the user's reach keeps it.
class HostSession : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    display_.emplace();
    ASSERT_TRUE(runningPrograms().isEmpty()) << "a run of the program is left from before";
    const QString clip = media::makeVideo(home_ / "red.mpg", {160, 90}, 2.0, kRed);
    home_.write("config/reelvista/ReelvistaSaver.INI", "\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
    QDir().mkpath(home_ / "runtime");
    QFile::setPermissions(home_ / "runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment_.insert("HOME", home_.path());
    environment_.insert("XDG_CONFIG_HOME", home_ / "config");
    environment_.insert("XDG_RUNTIME_DIR", home_ / "runtime");
    environment_.remove("QT_QPA_PLATFORM");
    if (::geteuid() == 0)
      becomeNobody();
  }

  void TearDown() override {
    for (QProcess* host : hosts_) {
      host->kill();
      host->waitForFinished(5000);
      delete host;
    }
  }

  // Starts the host program as the session's user.
  QProcess& startHost(const QString& host, const QStringList& arguments) {
    auto* process = new QProcess;
    hosts_ << process;
    process->setProcessEnvironment(environment_);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(runAs_.isEmpty() ? host : runAs_.first(),
                   runAs_.isEmpty() ? arguments : runAs_.mid(1) + QStringList{host} + arguments);
    return *process;
  }

  // Runs a tool as the session's user, to its end; its exit status.
  int runAsUser(const QString& tool, const QStringList& arguments) {
    QProcess& process = startHost(tool, arguments);
    process.waitForFinished(20000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

  // Moves the session to an X server with two monitors side by side;
  // skips the test where none can run.
  void onTwoMonitors() {
    if (const QString why = DummyXorg::unavailable(); !why.isEmpty())
      GTEST_SKIP() << why.toStdString();
    xorg_.emplace();
    DummyXorg::useTwoOutputs();
    environment_.insert("DISPLAY", xorg_->display());
    display_.emplace();
  }

  // Each area shows the clip, from one run of the program each, and exactly
  // one of those runs plays sound; a screenshot is saved.
  void expectClipIn(const QList<QRect>& areas, const QString& shot) {
    for (const QRect& area : areas)
      EXPECT_TRUE(display_->waitForArea(area, kRed, kHostMs))
          << "no clip at " << area.x() << "," << area.y();
    ProgramRun::screenshot(shot, home_.path());
    EXPECT_EQ(runningPrograms().size(), areas.size()) << "not one run for each monitor";
    players_ = runningPlayers();
    EXPECT_EQ(std::count_if(players_.begin(), players_.end(), playsSound), 1)
        << "not exactly one run plays sound";
  }

  // No run of the program is left, nor any mpv that the last look found.
  void expectProgramEnded() {
    const auto ended = [&] {
      return runningPrograms().isEmpty() &&
             std::none_of(players_.begin(), players_.end(), processRuns);
    };
    EXPECT_TRUE(waitUntil(ended, kHostMs)) << "the program or its mpv is still running";
  }

  // The program in xscreensaver's list of hacks, the only one, and the
  // screen saver active; false when it does not become active.
  bool activateXScreenSaver() {
    home_.write(".xscreensaver",
                "mode: one\nselected: 0\nlock: False\nsplash: False\n"
                "fade: False\nunfade: False\ntimeout: 0:30:00\n"
                "programs: \"Reelvista\" \"" +
                    program().toUtf8() + "\" --root \\n\n");
    QProcess::execute("chown", {"nobody:nogroup", home_ / ".xscreensaver"});
    startHost("xscreensaver", {"-no-splash"});
    return waitUntil([&] { return runAsUser("xscreensaver-command", {"-activate"}) == 0; },
                     kHostMs);
  }

  // xsecurelock locking the screen with the program as its saver module,
  // linked as the package links it, and an authentication module that lets
  // anyone in, so that a key unlocks.
  QProcess& startXSecureLock() {
    QFile::link(program(), home_ / "saver_reelvista");
    home_.write("auth_yes", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(home_ / "auth_yes",
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    environment_.insert("XSECURELOCK_SAVER", home_ / "saver_reelvista");
    environment_.insert("XSECURELOCK_AUTH", home_ / "auth_yes");
    return startHost("xsecurelock", {});
  }

  TempFolder home_;
  QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
  std::optional<DummyXorg> xorg_;
  std::optional<HostDisplay> display_;
  QList<qint64> players_;

 private:
  void becomeNobody() {
    const QString authority = home_ / "Xauthority";
    QFile::copy(qEnvironmentVariable("XAUTHORITY"), authority);
    environment_.insert("XAUTHORITY", authority);
    openPathToOthers(QFile::encodeName(home_.path()).constData());
    openPathToOthers(QFile::encodeName(program()).constData());
    QProcess::execute("chown", {"-R", "nobody:nogroup", home_.path()});
    runAs_ = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  }

  QStringList runAs_;
  QList<QProcess*> hosts_;
};

// The clip is wider than a monitor of the two-monitor server, so it fills
// each monitor's width between black bands.
const QRect kWholeScreen(0, 0, 1280, 720);
const QRect kLeftMonitorClip(0, 60, 640, 360);
const QRect kRightMonitorClip(640, 60, 640, 360);

bool have(const char* host) {
  return !QStandardPaths::findExecutable(host).isEmpty();
}

}  // namespace

TEST_F(HostSession, XScreenSaverRunsItFromItsProgramsLine) {
  if (!have("xscreensaver"))
    GTEST_SKIP() << "xscreensaver is not installed (./x setup installs it)";
  ASSERT_TRUE(activateXScreenSaver());
  expectClipIn({kWholeScreen}, "host-xscreensaver");
  EXPECT_EQ(runAsUser("xscreensaver-command", {"-deactivate"}), 0);
  expectProgramEnded();
}

TEST_F(HostSession, XSecureLockRunsItsSaverLinkAndEndsItOnUnlock) {
  if (!have("xsecurelock"))
    GTEST_SKIP() << "xsecurelock is not installed (./x setup installs it)";
  QProcess& locker = startXSecureLock();
  expectClipIn({kWholeScreen}, "host-xsecurelock");
  ProgramRun::xdotool({"key", "space"});
  EXPECT_TRUE(locker.waitForFinished(kHostMs)) << "the key did not unlock";
  expectProgramEnded();
}

TEST_F(HostSession, BothHostsRunOneOnEachMonitorWithSoundFromOne) {
  if (!have("xscreensaver") || !have("xsecurelock"))
    GTEST_SKIP() << "xscreensaver and xsecurelock are not installed (./x setup installs them)";
  if (onTwoMonitors(), IsSkipped())
    return;
  ASSERT_TRUE(activateXScreenSaver());
  expectClipIn({kLeftMonitorClip, kRightMonitorClip}, "host-xscreensaver-two-monitors");
  EXPECT_EQ(runAsUser("xscreensaver-command", {"-exit"}), 0);
  expectProgramEnded();

  QProcess& locker = startXSecureLock();
  expectClipIn({kLeftMonitorClip, kRightMonitorClip}, "host-xsecurelock-two-monitors");
  ProgramRun::xdotool({"key", "space"});
  EXPECT_TRUE(locker.waitForFinished(kHostMs)) << "the key did not unlock";
  expectProgramEnded();
}
