// The guard of the built saver: a saver killed while the screen is locked
// leaves it black and held until the password is given, and every monitor
// is black while the saver runs. A window of a colour the saver never shows
// stands for the desktop; the screen over it is sampled all the while.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "platform/lock/pam_check.h"
#include "support/lock_steps.h"
#include "support/media.h"
#include "support/program_run.h"
#include "support/screen_probe.h"
#include "support/wait.h"

namespace {

class ProgramGuard : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    const QString clip =
        media::makeVideo(saver.folder() / "clip.mpg", {160, 90}, 30.0, Qt::darkBlue);
    saver.writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
  }

  // Skips the test where PAM cannot be tested; the caller returns then.
  void requirePassword() {
    if (const QString why = PamMatrix::unavailable(); !why.isEmpty())
      GTEST_SKIP() << why.toStdString();
    saver.requirePassword(pam);
  }

  // Starts the saver; returns once it covers the screen (and, with the
  // password on, holds the keyboard and the pointer).
  void startSaver(bool locked) {
    saver.start({"/S"});
    ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 20000).isEmpty());
    if (locked) {
      ASSERT_TRUE(waitForBothGrabsHeldElsewhere(15000));
    }
  }

  // Starts the saver as an idle daemon does, holding off sleep with a
  // descriptor it hands down; true once every copy of it is closed, which
  // the saver does once it covers the screen (and, with the password on,
  // once it is locked).
  bool startWithSleepLock() {
    int sleepLock[2];
    if (::pipe(sleepLock) != 0)
      return false;
    saver.setEnvironment("XSS_SLEEP_LOCK_FD", QString::number(sleepLock[1]));
    saver.start({"/S"});
    ::close(sleepLock[1]);
    pollfd closed{sleepLock[0], POLLIN, 0};
    char byte = 0;
    const bool letGo = ::poll(&closed, 1, 30000) == 1 && ::read(sleepLock[0], &byte, 1) == 0;
    ::close(sleepLock[0]);
    return letGo;
  }

  void endWithThePassword() {
    ASSERT_FALSE(openPromptWithKey(saver).isEmpty()) << "a key brings the prompt";
    typeAndReturn(kPassword);
    EXPECT_EQ(saver.waitForExit(15000), 0);
  }

  // The desktop on the second monitor and beyond every monitor is black,
  // and stays black when a client makes the monitor list smaller.
  void checkEveryMonitorIsBlack(bool locked) {
    if (const QString why = DummyXorg::unavailable(); !why.isEmpty())
      GTEST_SKIP() << why.toStdString();
    DummyXorg xorg;
    saver.setEnvironment("DISPLAY", xorg.display());
    if (locked && (requirePassword(), IsSkipped()))
      return;
    const DesktopWindow second(800, 140, 200);
    const DesktopWindow third(1500, 140, 200);
    ASSERT_TRUE(second.inView() && third.inView());
    ASSERT_NO_FATAL_FAILURE(startSaver(locked));
    EXPECT_TRUE(second.waitForView(false, 10000)) << "the second monitor turns black";
    EXPECT_TRUE(third.waitForView(false, 10000)) << "and the screen beyond every monitor";
    DummyXorg::xrandr({"--delmonitor", "R"});
    DummyXorg::shrinkMonitorL();
    EXPECT_FALSE(second.inView()) << "a monitor list made smaller uncovers nothing";
    if (locked) {
      endWithThePassword();
    } else {
      ProgramRun::xdotool({"key", "x"});
      EXPECT_EQ(saver.waitForExit(10000), 0);
    }
    EXPECT_TRUE(second.waitForView(true, 5000));
  }

  const PamMatrix pam{platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n"};
  ProgramRun saver;
};

enum class Attack { Segfault, Kill, WindowKill };

void attack(ProgramRun& saver, Attack how) {
  const auto pid = static_cast<pid_t>(saver.saverProcessId());
  switch (how) {
    case Attack::Segfault:
      ::kill(pid, SIGSEGV);
      break;
    case Attack::Kill:
      ::kill(pid, SIGKILL);
      break;
    case Attack::WindowKill:
      ProgramRun::xdotool({"windowkill", saver.waitForWindow(kPlaybackTitle, 1000)});
      break;
  }
}

}  // namespace

// The guard holds the keyboard and the pointer from before the saver starts
// until the password: a saver that crashes, is killed or is cut off from the
// X server leaves the screen black and both held, and the one started again
// asks for the password as before.
TEST_F(ProgramGuard, ASaverKilledWhileLockedLeavesTheScreenBlackAndHeld) {
  if (requirePassword(), IsSkipped())
    return;
  DesktopWindow desktop(300, 200, 200);
  ASSERT_TRUE(desktop.inView());
  ASSERT_NO_FATAL_FAILURE(startSaver(true));
  for (const Attack how : {Attack::Segfault, Attack::Kill, Attack::WindowKill}) {
    const int round = static_cast<int>(how);
    Watch watch(desktop);
    const qint64 killed = saver.saverProcessId();
    attack(saver, how);
    const auto startedAgain = [&] {
      const qint64 now = saver.saverProcessId();
      return now != 0 && now != killed;
    };
    ASSERT_TRUE(waitUntil(startedAgain, 10000)) << round;
    EXPECT_TRUE(bothGrabsHeldElsewhere()) << round << ": as the new saver starts";
    ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 20000).isEmpty()) << round;
    EXPECT_TRUE(bothGrabsHeldElsewhere()) << round << ": under the new saver";
    ASSERT_FALSE(openPromptWithKey(saver).isEmpty()) << round;
    ASSERT_TRUE(closePrompt(saver)) << round;
    const auto [looks, seen] = watch.stop();
    std::cout << "attack " << round << ": " << looks << " looks at the desktop, " << seen
              << " saw it\n";
    EXPECT_GT(looks, 20) << round;
    EXPECT_EQ(seen, 0) << round << ": no frame of the desktop";
    EXPECT_FALSE(saver.waitForExit(0).has_value()) << round;
  }
  endWithThePassword();
  EXPECT_TRUE(desktop.waitForView(true, 5000)) << "the password uncovers the desktop";
}

TEST_F(ProgramGuard, WithoutThePasswordAKilledSaverEndsItAll) {
  DesktopWindow desktop(300, 200, 200);
  ASSERT_NO_FATAL_FAILURE(startSaver(false));
  ASSERT_TRUE(desktop.waitForView(false, 10000));
  attack(saver, Attack::Kill);
  const std::optional<int> status = saver.waitForExit(10000);
  ASSERT_TRUE(status.has_value());
  EXPECT_NE(*status, 0);
  EXPECT_TRUE(desktop.waitForView(true, 5000));
}

// xss-lock -l holds off sleep with a descriptor until the screen is covered
// (and, with the password on, held), and ends a saver with SIGTERM to the
// process it started: without the password, and locked.
TEST_F(ProgramGuard, TheIdleDaemonsSleepLockAndTerminationSignalAreKept) {
  const DesktopWindow desktop(300, 200, 200);
  for (const bool locked : {false, true}) {
    SCOPED_TRACE(locked ? "locked" : "without the password");
    if (locked && (requirePassword(), IsSkipped()))
      return;
    ASSERT_TRUE(desktop.waitForView(true, 5000));
    ASSERT_TRUE(startWithSleepLock()) << "every copy closed";
    EXPECT_TRUE(desktop.waitForView(false, 1000)) << "once covered";
    if (locked) {
      EXPECT_TRUE(bothGrabsHeldElsewhere()) << "and held";
    }
    ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 20000).isEmpty());

    const qint64 child = saver.saverProcessId();
    ASSERT_EQ(::kill(static_cast<pid_t>(saver.processId()), SIGTERM), 0);
    EXPECT_EQ(saver.waitForExit(10000), 0);
    EXPECT_NE(::kill(static_cast<pid_t>(child), 0), 0) << "the saver is gone too";
    EXPECT_FALSE(grabHeldElsewhere(InputDevice::Keyboard) ||
                 grabHeldElsewhere(InputDevice::Pointer));
  }
}

TEST_F(ProgramGuard, EveryMonitorIsBlackWhileItPlays) {
  checkEveryMonitorIsBlack(false);
}

TEST_F(ProgramGuard, EveryMonitorIsBlackWhileItIsLocked) {
  checkEveryMonitorIsBlack(true);
}
