// The lock of the built saver attacked as an attacker would: at the keyboard
// and the mouse of the locked screen, and from other programs on the same
// display. A window of a colour the saver never shows stands for the desktop
// and is looked at all through each attack, while another program tries to
// take the keyboard and the pointer every millisecond; the right password
// ends every locked run. PAM runs through pam_wrapper and pam_matrix.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "platform/lock/pam_check.h"
#include "support/lock_steps.h"
#include "support/media.h"
#include "support/program_run.h"
#include "support/screen_probe.h"
#include "support/wait.h"

namespace {

void clickAt(const QPoint& where, const QString& button) {
  ProgramRun::xdotool({"mousemove", QString::number(where.x()), QString::number(where.y())});
  ProgramRun::xdotool({"click", button});
}

// A settings file with an empty play list: with the password on, a black
// screen.
const QByteArray kNothingToPlay = "\r\n*.MPG\r\n";

// A point on the black covers, away from the middle where windows open.
const QPoint kBeside{20, 20};

class ProgramLockAttacks : public testing::Test {
 protected:
  void SetUp() override {
    if (const QString why = whyTheLockCannotBeTried(); !why.isEmpty())
      GTEST_SKIP() << why.toStdString();
    ASSERT_TRUE(desktop.waitForView(true, 5000));
  }

  void writePlayList() {
    const QString clip =
        media::makeVideo(saver.folder() / "clip.mpg", {160, 90}, 30.0, Qt::darkBlue);
    saver.writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
  }

  // Starts the saver with the password on; returns once the screen is
  // black and both grabs are held.
  void startLocked() {
    saver.requirePassword(pam);
    saver.start({"/S"});
    ASSERT_TRUE(desktop.waitForView(false, 20000)) << "the screen turns black; " << state();
    ASSERT_TRUE(waitForBothGrabsHeldElsewhere(20000)) << "both grabs are held; " << state();
  }

  std::string state() {
    const std::optional<int> status = saver.waitForExit(0);
    return status ? "it ended with status " + std::to_string(*status) : "it runs";
  }

  void startLockedPlaying() {
    ASSERT_NO_FATAL_FAILURE(startLocked());
    ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 20000).isEmpty());
  }

  // Makes the attack with the desktop looked at and the race for the grabs
  // going all through; the saver must still run then, with both grabs held.
  // An attack that opened the lock fails, and the screen is locked again for
  // the attacks that follow.
  void attack(const char* name, const std::function<void()>& steps) {
    SCOPED_TRACE(name);
    Watch watch(desktop);
    GrabRace race(1);
    steps();
    const bool held = bothGrabsHeldElsewhere();
    const GrabRace::Result grabs = race.stop();
    const Watch::Result looks = watch.stop();
    std::cout << name << ": the desktop in " << looks.seen << " of " << looks.looks
              << " looks; grabs won: " << grabs.keyboardWins << " keyboard, " << grabs.pointerWins
              << " pointer, in " << grabs.tries << " tries\n";
    EXPECT_EQ(looks.seen, 0) << "no frame of the desktop";
    EXPECT_EQ(grabs.keyboardWins + grabs.pointerWins, 0) << "no moment without the grabs";
    EXPECT_TRUE(held) << "both grabs held at the end";
    const bool ended = saver.waitForExit(0).has_value();
    EXPECT_FALSE(ended) << state();
    if (ended || !held)
      lockAgain();
  }

  // Ends what is left of a run an attack opened, and locks again.
  void lockAgain() {
    if (!saver.waitForExit(0)) {
      ::kill(static_cast<pid_t>(saver.processId()), SIGTERM);
      saver.waitForExit(10000);
    }
    startLockedPlaying();
  }

  void endWithThePassword() {
    ASSERT_TRUE(closePrompt(saver));
    ASSERT_FALSE(openPromptWithKey(saver).isEmpty()) << "a key brings the prompt";
    typeAndReturn(kPassword);
    EXPECT_EQ(saver.waitForExit(15000), 0);
    EXPECT_TRUE(desktop.waitForView(true, 5000)) << "the password uncovers the desktop";
  }

  void changeUserRegistry(const QByteArray* bytes) {
    const QString path = saver.configFolder() + "/user.reg";
    QFile::remove(path);
    QFile file(path);
    if (bytes && file.open(QIODevice::WriteOnly))
      file.write(*bytes);
  }

  const PamMatrix pam{platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n"};
  // Low on the left, away from the windows that open in the middle.
  DesktopWindow desktop{60, 440, 200};
  ProgramRun saver;
};

// A grab a window of ours may have let go of reaches another program.
bool grabsStayHeld() {
  return holdsFor(bothGrabsHeldElsewhere, 1000);
}

}  // namespace

TEST_F(ProgramLockAttacks, AtTheKeyboardAndTheMouseOnlyThePasswordOpensIt) {
  writePlayList();
  ASSERT_NO_FATAL_FAILURE(startLockedPlaying());
  attack("the Menu key at the prompt, then a click beside", [&] {
    ASSERT_FALSE(openPromptWithKey(saver).isEmpty());
    ProgramRun::xdotool({"key", "Menu"});
    clickAt(kBeside, "1");
    EXPECT_TRUE(grabsStayHeld());
    EXPECT_TRUE(closePrompt(saver));
  });
  attack("right clicks down the prompt, each then a click beside", [&] {
    const QString prompt = openPromptWithKey(saver);
    ASSERT_FALSE(prompt.isEmpty());
    const QRect area = ProgramRun::windowGeometry(prompt);
    for (int tenth = 2; tenth < 10; tenth += 2) {
      clickAt({area.center().x(), area.top() + area.height() * tenth / 10}, "3");
      clickAt(kBeside, "1");
    }
    EXPECT_TRUE(grabsStayHeld());
    EXPECT_TRUE(closePrompt(saver));
  });
  attack("keys sent to the playback window", [&] {
    const QString canvas = saver.waitForWindow(kPlaybackTitle, 5000);
    ProgramRun::xdotool({"key", "--window", canvas, "x"});
    ProgramRun::xdotool({"type", "--window", canvas, "abc"});
    EXPECT_TRUE(saver.waitForWindow(kPromptTitle, 1500).isEmpty()) << "no prompt opens";
    EXPECT_TRUE(closePrompt(saver));
  });
  attack("the password and Return sent to the prompt", [&] {
    const QString prompt = openPromptWithKey(saver);
    ASSERT_FALSE(prompt.isEmpty());
    // xdotool types to the focused window through XTEST, as a keyboard
    // would; with the focus elsewhere it sends the events to the window.
    ProgramRun::xdotool({"windowfocus", saver.waitForWindow(kPlaybackTitle, 5000)});
    ProgramRun::xdotool({"type", "--window", prompt, kPassword});
    ProgramRun::xdotool({"key", "--window", prompt, "Return"});
    EXPECT_FALSE(saver.waitForExit(3000).has_value()) << "what was sent is never checked";
    EXPECT_TRUE(closePrompt(saver));
  });

  const QString prompt = openPromptWithKey(saver);
  ASSERT_FALSE(prompt.isEmpty());
  const QRect area = ProgramRun::windowGeometry(prompt);
  const auto promptInView = [&] { return lookAt(area).mostlyOther(); };
  ASSERT_TRUE(waitUntil(promptInView, 5000));
  attack("the focus given to the playback window under the prompt", [&] {
    const QString canvas = saver.waitForWindow(kPlaybackTitle, 5000);
    ProgramRun::xdotool({"windowfocus", canvas});
    EXPECT_TRUE(holdsFor(promptInView, 1000)) << "the prompt stays in view";
    ProgramRun::xdotool({"windowactivate", canvas});
    EXPECT_TRUE(holdsFor(promptInView, 1000)) << "the prompt stays in view";
  });
  typeAndReturn(kPassword);
  EXPECT_EQ(saver.waitForExit(15000), 0) << "the password typed into it ends the run";
}

TEST_F(ProgramLockAttacks, OtherProgramsNeitherUncoverItNorOpenIt) {
  writePlayList();
  ASSERT_NO_FATAL_FAILURE(startLockedPlaying());
  attack("the playback window unmapped", [&] {
    ProgramRun::xdotool({"windowunmap", saver.waitForWindow(kPlaybackTitle, 5000)});
    ASSERT_FALSE(openPromptWithKey(saver).isEmpty());
    EXPECT_TRUE(closePrompt(saver));
    EXPECT_TRUE(grabsStayHeld()) << "after the prompt closed";
  });
  attack("a window raised over it in a loop", [&] {
    DesktopWindow intruder(900, 100, 200);
    Watch intruderWatch(intruder);
    const std::jthread raising([&](const std::stop_token& stop) {
      while (!stop.stop_requested()) {
        intruder.raise();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
    // A prompt that closes brings the saver's windows up again.
    ASSERT_FALSE(openPromptWithKey(saver).isEmpty());
    EXPECT_TRUE(closePrompt(saver));
    EXPECT_TRUE(holdsFor([&] { return !intruder.inView(); }, 1000));
    EXPECT_EQ(intruderWatch.stop().seen, 0) << "the raised window is never in view";
  });
  const QByteArray halfWritten = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Pa";
  for (const QByteArray* bytes : {static_cast<const QByteArray*>(nullptr), &halfWritten}) {
    attack(bytes ? "user.reg half written, then a key" : "user.reg removed, then a key", [&] {
      changeUserRegistry(bytes);
      ASSERT_FALSE(openPromptWithKey(saver).isEmpty()) << "the key asks for the password";
      EXPECT_TRUE(closePrompt(saver));
    });
  }
  attack("the prompt unmapped", [&] {
    const QString prompt = openPromptWithKey(saver);
    ASSERT_FALSE(prompt.isEmpty());
    ProgramRun::xdotool({"windowunmap", prompt});
    EXPECT_TRUE(grabsStayHeld());
  });
  endWithThePassword();
}

TEST_F(ProgramLockAttacks, AClientRacingForTheGrabThroughSaverRestartsNeverWins) {
  writePlayList();
  ASSERT_NO_FATAL_FAILURE(startLockedPlaying());
  attack("the saver killed three times", [&] {
    for (int round = 0; round < 3; ++round) {
      const qint64 killed = saver.saverProcessId();
      ::kill(static_cast<pid_t>(killed), SIGKILL);
      const auto startedAgain = [&] {
        const qint64 now = saver.saverProcessId();
        return now != 0 && now != killed;
      };
      ASSERT_TRUE(waitUntil(startedAgain, 10000)) << round;
      ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 20000).isEmpty()) << round;
    }
  });
  endWithThePassword();
}

// The window in use when the saver starts has the focus, and the keys typed
// then reach it until the lock holds them: none once the screen is black.
TEST_F(ProgramLockAttacks, KeysTypedAsItStartsStopAtTheBlackScreen) {
  writePlayList();
  desktop.focus();
  ProgramRun::xdotool({"key", "a"});
  ASSERT_TRUE(waitUntil([&] { return desktop.keyPresses() > 0; }, 5000)) << "it gets keys";
  saver.requirePassword(pam);
  saver.start({"/S"});
  QProcess typing;
  typing.start("xdotool", {"type", "--delay", "5", QString(300, u'a')});
  ASSERT_TRUE(desktop.waitForView(false, 20000));
  const int beforeBlack = desktop.keyPresses();
  ASSERT_TRUE(typing.waitForFinished(60000));
  const int after = desktop.keyPresses();
  std::cout << beforeBlack << " keys reached the desktop before the screen was black\n";
  EXPECT_EQ(after, beforeBlack) << "keys reached the desktop with the screen black";
  ASSERT_TRUE(waitForBothGrabsHeldElsewhere(10000));
  endWithThePassword();
}

// A lock that cannot hold the keyboard or the pointer is no lock: it ends
// with 1 before it starts the saver, and the desktop stays in view all the
// while (the input is taken before the screen goes black).
TEST_F(ProgramLockAttacks, AGrabHeldElsewhereAtTheStartLocksNothing) {
  writePlayList();
  saver.requirePassword(pam);
  for (const InputDevice device : {InputDevice::Keyboard, InputDevice::Pointer}) {
    const char* name = device == InputDevice::Keyboard ? "the keyboard" : "the pointer";
    const OtherClientGrab other(device);
    ASSERT_TRUE(other.held()) << name;
    saver.start({"/S"});
    bool saverStarted = false;
    bool blackened = false;
    waitUntil(
        [&] {
          saverStarted = saverStarted || saver.saverProcessId() != 0;
          blackened = blackened || !desktop.inView();
          return saver.waitForExit(0).has_value();
        },
        25000);
    const std::optional<int> status = saver.waitForExit(0);
    EXPECT_EQ(status, 1) << name << " held elsewhere";
    EXPECT_FALSE(saverStarted) << name << " held elsewhere";
    EXPECT_FALSE(blackened) << name << " held elsewhere";
    EXPECT_TRUE(desktop.waitForView(true, 5000)) << name << " held elsewhere";
    if (!status)
      ::kill(static_cast<pid_t>(saver.processId()), SIGTERM);
    saver.waitForExit(10000);
  }
}

// The settings dialog left open, then the idle daemon starts the saver.
TEST_F(ProgramLockAttacks, BesideTheSettingsDialogASecondStartLocksAndAThirdEnds) {
  ProgramRun settings;
  settings.writeSettingsFile(kNothingToPlay);
  settings.start({});
  const QString dialog = settings.waitForWindow("Settings", 15000);
  ASSERT_FALSE(dialog.isEmpty());
  const QRect area = ProgramRun::windowGeometry(dialog);
  ASSERT_TRUE(waitUntil([&] { return lookAt(area).mostlyOther(); }, 10000)) << "in view";

  saver.setEnvironment("XDG_RUNTIME_DIR", settings.runtimeFolder());
  saver.writeSettingsFile(kNothingToPlay);
  ASSERT_NO_FATAL_FAILURE(startLocked());
  EXPECT_TRUE(waitUntil([&] { return lookAt(area).mostlyBlack(); }, 10000))
      << "the dialog goes under the lock";
  attack("a third start", [&] {
    ProgramRun third;
    third.setEnvironment("XDG_RUNTIME_DIR", settings.runtimeFolder());
    third.requirePassword(pam);
    third.writeSettingsFile(kNothingToPlay);
    third.start({"/S"});
    EXPECT_EQ(third.waitForExit(10000), 0) << "it ends at once";
  });
  endWithThePassword();
  EXPECT_FALSE(settings.waitForExit(0).has_value()) << "the dialog's run goes on";
}

TEST_F(ProgramLockAttacks, WithoutASettingsFileOrThePasswordTheDialogOpensInView) {
  saver.start({"/S"});
  const QString dialog = saver.waitForWindow("Settings", 15000);
  ASSERT_FALSE(dialog.isEmpty());
  const QRect area = ProgramRun::windowGeometry(dialog);
  const auto dialogInView = [&] { return lookAt(area).mostlyOther(); };
  EXPECT_TRUE(waitUntil(dialogInView, 10000));
  ProgramRun::xdotool({"key", "Escape"});
  EXPECT_TRUE(holdsFor(dialogInView, 1500)) << "nothing comes over it";
  EXPECT_FALSE(saver.waitForExit(0).has_value()) << "Escape does not end it";
}

// A lock that was asked for holds, with nothing to play.
TEST_F(ProgramLockAttacks, WithoutASettingsFileTheLockHoldsOverABlackScreen) {
  ASSERT_NO_FATAL_FAILURE(startLocked());
  attack("a key, then Escape", [&] {
    ASSERT_FALSE(openPromptWithKey(saver).isEmpty());
    EXPECT_TRUE(closePrompt(saver));
  });
  endWithThePassword();
}

// The scan of a drive runs under the lock, in view over the black screen;
// the keys of its hidden buttons open nothing.
TEST_F(ProgramLockAttacks, TheScanRunsUnderTheLockInView) {
  // The system's programs and libraries, tens of thousands of files where
  // the tests' packages are installed: a scan of several seconds, long
  // enough to look at, which finds nothing to play.
  QFile drives(saver.configFolder() + "/drives");
  ASSERT_TRUE(drives.open(QIODevice::WriteOnly));
  drives.write("d: /usr\n");
  drives.close();
  saver.writeSettingsFile("D:\r\n*.RVSCAN\r\n");
  saver.requirePassword(pam);
  saver.start({"/S"});

  const QRect middle(540, 330, 200, 60);
  const auto scanInView = [&] { return lookAt(middle).mostlyOther(); };
  ASSERT_TRUE(waitUntil(scanInView, 20000)) << "the scan window comes into view";
  EXPECT_TRUE(holdsFor(scanInView, 1000)) << "and stays in view";
  EXPECT_TRUE(saver.waitForWindow(kPlaybackTitle, 1).isEmpty()) << "still scanning";
  EXPECT_FALSE(desktop.inView()) << "black around it";
  EXPECT_TRUE(bothGrabsHeldElsewhere());
  attack("Alt+x and Return during the scan", [&] {
    ProgramRun::xdotool({"key", "alt+x"});
    ProgramRun::xdotool({"key", "Return"});
    saver.waitForExit(1000);
  });
  ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 60000).isEmpty()) << "playback follows";
  endWithThePassword();
}

// Any program can redefine the monitor list without touching an output.
TEST_F(ProgramLockAttacks, AShrunkMonitorListLeavesTheWholeScreenBlack) {
  if (const QString why = DummyXorg::unavailable(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const DummyXorg xorg;
  saver.setEnvironment("DISPLAY", xorg.display());
  writePlayList();
  // Beside the shrunk monitor, on the monitor taken away, and on none.
  const DesktopWindow left(400, 260, 200);
  const DesktopWindow right(800, 140, 200);
  const DesktopWindow beyond(1500, 140, 200);
  const auto monitorsBlack = [&] { return !left.inView() && !right.inView(); };
  saver.requirePassword(pam);
  saver.start({"/S"});
  ASSERT_TRUE(left.waitForView(false, 20000) && right.waitForView(false, 20000));
  EXPECT_FALSE(beyond.inView()) << "on no monitor, but on the root window";
  ASSERT_TRUE(waitForBothGrabsHeldElsewhere(20000));

  Watch leftWatch(left);
  Watch rightWatch(right);
  Watch beyondWatch(beyond);
  DummyXorg::xrandr({"--delmonitor", "R"});
  DummyXorg::shrinkMonitorL();
  EXPECT_TRUE(holdsFor(monitorsBlack, 3000)) << "where the monitors were";
  EXPECT_EQ(leftWatch.stop().seen, 0) << "beside the shrunk monitor";
  EXPECT_EQ(rightWatch.stop().seen, 0) << "on the monitor taken away";
  EXPECT_EQ(beyondWatch.stop().seen, 0) << "on no monitor";
  EXPECT_TRUE(bothGrabsHeldElsewhere());
  endWithThePassword();
}
