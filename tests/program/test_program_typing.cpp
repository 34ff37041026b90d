// Passwords typed at a locked saver on a machine kept busy, each at once
// after the key that wakes it, as fast as people type: every key reaches
// the prompt it was typed for, or a right password would be refused.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <memory>
#include <vector>

#include "platform/lock/pam_check.h"
#include "support/lock_steps.h"
#include "support/media.h"
#include "support/pam_matrix.h"
#include "support/program_run.h"
#include "support/screen_probe.h"

namespace {

// Keeps every processor busy for as long as it lives.
class Burner {
 public:
  explicit Burner(int processes) {
    for (int at = 0; at < processes; ++at) {
      auto& spinner = spinners_.emplace_back(std::make_unique<QProcess>());
      spinner->start("sh", {"-c", "while :; do :; done"});
    }
  }
  ~Burner() {
    for (auto& spinner : spinners_) {
      spinner->kill();
      spinner->waitForFinished(5000);
    }
  }

 private:
  std::vector<std::unique_ptr<QProcess>> spinners_;
};

}  // namespace

// Fourteen locked runs, twenty-one passwords, 40 ms a key, each after a
// key that wakes the prompt. Half of the runs are woken as soon as the
// guard holds the keyboard, before the playback window is up, and get the
// right password at once; the others, once it plays, get a wrong password
// and the right one typed in one go.
TEST(ProgramTyping, EveryPasswordTypedUnderLoadReachesItsPromptWhole) {
  if (const QString why = whyTheLockCannotBeTried(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const PamMatrix pam(platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n");
  const TempFolder media;
  const QString clip = media::makeVideo(media / "clip.mpg", {160, 90}, 30.0);
  const Burner burner(3);
  QElapsedTimer took;
  took.start();
  for (int round = 0; round < 14; ++round) {
    ProgramRun saver;
    saver.writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
    saver.requirePassword(pam);
    saver.start({"/S"});
    ASSERT_TRUE(waitForBothGrabsHeldElsewhere(20000)) << "round " << round;
    QStringList passwords = {kPassword};
    if (round % 2 == 1) {
      ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 20000).isEmpty()) << "round " << round;
      passwords.prepend("wrong" + kPassword);
    }
    for (const QString& password : passwords) {
      ProgramRun::xdotool({"key", "x"});
      typeAndReturn(password, 40);
    }
    EXPECT_EQ(saver.waitForExit(30000), 0)
        << "round " << round << "; the saver said: " << saver.standardError().toStdString();
    if (HasFailure())
      break;
  }
  RecordProperty("seconds", static_cast<int>(took.elapsed() / 1000));
}

// A lock started from a hotkey (Ctrl+Alt+L on several desktops) starts with
// the hotkey's modifiers still down; they are let go once the screen is
// held. The password opens it, whichever they were.
TEST(ProgramTyping, ALockStartedFromAHotkeyOpensWithThePassword) {
  if (const QString why = whyTheLockCannotBeTried(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const PamMatrix pam(platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n");
  const QStringList hotkeys = {"Control_L", "Control_L Alt_L",  "Shift_L",
                               "Super_L",   "ISO_Level3_Shift", "ISO_Next_Group"};
  for (const QString& hotkey : hotkeys) {
    const QStringList keys = hotkey.split(' ');
    ProgramRun saver;
    saver.requirePassword(pam);
    ProgramRun::xdotool(QStringList{"keydown"} + keys);
    saver.start({"/S"});
    const bool held = waitForBothGrabsHeldElsewhere(20000);
    ProgramRun::xdotool(QStringList{"keyup"} + keys);
    ASSERT_TRUE(held) << hotkey.toStdString();
    ASSERT_FALSE(openPromptWithKey(saver).isEmpty()) << hotkey.toStdString();
    typeAndReturn(kPassword, 40);
    EXPECT_EQ(saver.waitForExit(20000), 0) << hotkey.toStdString();
  }
}
