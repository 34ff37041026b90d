// The built program as a hack of another screen saver: playing into windows
// the test makes, as a host does, under Xvfb.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QThread>
#include <memory>
#include <optional>

#include "support/host_display.h"
#include "support/media.h"
#include "support/program_run.h"
#include "support/wait.h"

namespace {

const QColor kRed(255, 0, 0);
constexpr int kFirstPictureMs = 5000;

// A run playing a red clip into the window, started the way the arguments
// and the host's variable say; runs of one user share a runtime folder.
std::unique_ptr<ProgramRun> startHack(const QStringList& arguments, const QString& hostVariable,
                                      const QString& runtimeFolder = {}) {
  auto run = std::make_unique<ProgramRun>();
  if (!runtimeFolder.isEmpty())
    run->setEnvironment("XDG_RUNTIME_DIR", runtimeFolder);
  const QString clip = media::makeVideo(run->folder() / "red.mpg", {160, 90}, 2.0, kRed);
  run->writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
  if (!hostVariable.isEmpty())
    run->setEnvironment("XSCREENSAVER_WINDOW", hostVariable);
  run->start(arguments);
  return run;
}

qint64 onlyMpvOf(const ProgramRun& run) {
  qint64 mpv = 0;
  waitUntil(
      [&] {
        const QList<qint64> found = mpvChildrenOf(run.processId());
        mpv = found.size() == 1 ? found.first() : 0;
        return mpv != 0;
      },
      kFirstPictureMs);
  return mpv;
}

// The signal ends the run within a second, and its mpv with it.
void expectEndedBy(ProgramRun& run, int signal, const char* name) {
  SCOPED_TRACE(name);
  const qint64 mpv = onlyMpvOf(run);
  ASSERT_NE(mpv, 0);
  ::kill(static_cast<pid_t>(run.processId()), signal);
  EXPECT_TRUE(run.waitForExit(1000).has_value()) << "still running a second after the signal";
  EXPECT_TRUE(waitUntil([&] { return !processRuns(mpv); }, 1000)) << "mpv is left";
}

// Each test plays the host: it makes the windows the program plays into.
class ProgramHack : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    display_.emplace();
  }

  HostDisplay& display() { return *display_; }

 private:
  std::optional<HostDisplay> display_;
};

}  // namespace

// Three hosts' windows side by side, one for each way of naming it: the
// clip fills each, one plays sound, input on the display ends none, and
// each of the signals a host may send ends its run and its mpv.
TEST_F(ProgramHack, PlaysIntoTheWindowsItIsGivenWithSoundFromOne) {
  const QRect places[] = {{0, 0, 320, 180}, {400, 0, 320, 180}, {800, 0, 320, 180}};
  xcb_window_t windows[3];
  for (int i = 0; i < 3; ++i)
    windows[i] = display().makeWindow(places[i]);

  // xscreensaver: hex in the variable, and --root; xsecurelock: decimal in
  // the variable alone; a settings dialog's preview: --window-id, decimal.
  auto screen = startHack({"--root"}, "0x" + QString::number(windows[0], 16));
  auto monitor = startHack({}, QString::number(windows[1]), screen->runtimeFolder());
  auto preview =
      startHack({"--window-id", QString::number(windows[2])}, "0x1", screen->runtimeFolder());
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(display().waitForArea(places[i], kRed, kFirstPictureMs)) << "window " << i;
  screen->screenshot("hack");

  EXPECT_NE(playsSound(onlyMpvOf(*screen)), playsSound(onlyMpvOf(*monitor)))
      << "exactly one of the two on the display plays sound";
  EXPECT_FALSE(playsSound(onlyMpvOf(*preview))) << "a preview is silent";

  ProgramRun::xdotool({"mousemove", "100", "100", "key", "a", "Escape", "click", "1"});
  ProgramRun::xdotool({"mousemove", "500", "100", "key", "Return", "click", "3"});
  for (ProgramRun* run : {screen.get(), monitor.get(), preview.get()})
    EXPECT_FALSE(run->waitForExit(300).has_value()) << "input ended a run";
  EXPECT_TRUE(display().waitForArea(places[0], kRed, kFirstPictureMs));

  expectEndedBy(*screen, SIGTERM, "SIGTERM");
  expectEndedBy(*monitor, SIGINT, "SIGINT");
  expectEndedBy(*preview, SIGHUP, "SIGHUP");
}

// The host resizes its window; and it stops the hack for a while (SIGSTOP,
// as mate-screensaver throttles), longer than mpv may take to answer.
TEST_F(ProgramHack, FollowsTheWindowsSizeAndPlaysOnAfterBeingStopped) {
  const QRect place(0, 200, 320, 180);
  const xcb_window_t window = display().makeWindow(place);
  auto run = startHack({"--window-id", "0x" + QString::number(window, 16)}, {});
  ASSERT_TRUE(display().waitForArea(place, kRed, kFirstPictureMs));

  display().resize(window, {640, 360});
  EXPECT_TRUE(display().waitForArea({0, 200, 640, 360}, kRed, kFirstPictureMs))
      << "the picture did not follow the window's size";

  const qint64 mpv = onlyMpvOf(*run);
  ::kill(static_cast<pid_t>(run->processId()), SIGSTOP);
  QThread::msleep(6000);
  ::kill(static_cast<pid_t>(run->processId()), SIGCONT);
  EXPECT_TRUE(display().waitForArea({0, 200, 640, 360}, kRed, kFirstPictureMs));
  QThread::msleep(1000);  // the watchdog has looked again since
  EXPECT_EQ(onlyMpvOf(*run), mpv) << "the player was replaced after the pause";
  EXPECT_FALSE(run->waitForExit(0).has_value());
}

// With scanning on, the drive scan runs first, without a window of ours on
// the display; what it finds then plays in the host's window.
TEST_F(ProgramHack, ScansTheDriveWithoutItsWindowThenPlaysWhatItFound) {
  const QRect place(0, 400, 320, 180);
  const xcb_window_t window = display().makeWindow(place);
  ProgramRun run;
  QDir().mkpath(run.folder() / "disc/clips");
  media::makeVideo(run.folder() / "disc/clips/red.mpg", {160, 90}, 2.0, kRed);
  QFile drives(run.configFolder() + "/drives");
  ASSERT_TRUE(drives.open(QIODevice::WriteOnly));
  drives.write("v: " + (run.folder() / "disc").toUtf8() + "\n");
  drives.close();
  run.writeSettingsFile("V:\r\n*.MPG\r\n");
  run.setEnvironment("XSCREENSAVER_WINDOW", QString::number(window));
  run.start({"-root"});
  EXPECT_TRUE(display().waitForArea(place, kRed, kFirstPictureMs)) << "the scan found nothing";
  EXPECT_EQ(ProgramRun::xdotool({"search", "--onlyvisible", "--pid",
                                 QString::number(run.processId()), "--name", "."}),
            "")
      << "a window of the program is on the display";
}

// A host that destroys its window without a signal ends the run, its mpv
// with it; a window that is not there is said, with status 1.
TEST_F(ProgramHack, EndsWithTheHostsWindowAndSaysWhenThereIsNone) {
  const xcb_window_t window = display().makeWindow({0, 600, 160, 90});
  auto run = startHack({"--window-id", QString::number(window)}, {});
  const qint64 mpv = onlyMpvOf(*run);
  ASSERT_NE(mpv, 0);
  display().destroyWindow(window);
  EXPECT_EQ(run->waitForExit(2000), 0) << "the run outlived the host's window";
  EXPECT_TRUE(waitUntil([&] { return !processRuns(mpv); }, 1000)) << "mpv is left";

  auto nowhere = startHack({"--window-id", QString::number(window)}, {});
  EXPECT_EQ(nowhere->waitForExit(5000), 1);
  EXPECT_TRUE(
      nowhere->standardError().contains("there is no X window 0x" + QString::number(window, 16)));
}

// Run by hand with --root and no host window, it plays over the whole
// screen under every other window, as the desktop's background does.
TEST_F(ProgramHack, RootAloneFillsTheScreenUnderOtherWindows) {
  const QRect other(100, 100, 200, 200);
  display().makeWindow(other);
  auto run = startHack({"--root"}, {});
  EXPECT_TRUE(display().waitForArea({400, 0, 880, 720}, kRed, kFirstPictureMs));
  EXPECT_TRUE(display().areaShows(other, Qt::black)) << "it covered another window";
}
