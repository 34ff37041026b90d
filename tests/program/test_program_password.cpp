// The built saver ended by the user, with and without the password, under
// Xvfb; the password is checked by PAM through pam_wrapper and pam_matrix.
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/lock/pam_check.h"
#include "support/lock_steps.h"
#include "support/media.h"
#include "support/pam_matrix.h"
#include "support/program_run.h"
#include "support/screen_probe.h"

namespace {

class ProgramPassword : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    const QString clip = media::makeVideo(saver.folder() / "clip.mpg", {160, 90}, 30.0);
    saver.writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
  }

  // Returns once the saver plays, with the keyboard and the pointer held
  // when it locks, else with the focus.
  void startPlaying(bool locked) {
    saver.start({"/S"});
    const QString canvas = saver.waitForWindow(kPlaybackTitle, 15000);
    ASSERT_FALSE(canvas.isEmpty());
    if (locked) {
      ASSERT_TRUE(waitForBothGrabsHeldElsewhere(10000));
    } else {
      ASSERT_TRUE(ProgramRun::waitForFocus(canvas, 10000));
    }
  }

  // A key wakes the saver and the password follows at once, 60 ms a key,
  // without waiting for the prompt, as people type at a lock screen.
  static void wakeAndType(const QString& password, bool thenReturn = true) {
    ProgramRun::xdotool({"key", "x"});
    ProgramRun::xdotool({"type", "--delay", "60", password});
    if (thenReturn)
      ProgramRun::xdotool({"key", "Return"});
  }

  ProgramRun saver;
};

}  // namespace

TEST_F(ProgramPassword, WithoutTheSettingAKeyEndsTheSaverAndAMouseMoveDoesNot) {
  startPlaying(false);
  ProgramRun::xdotool({"mousemove", "300", "200"});
  ProgramRun::xdotool({"mousemove", "700", "500"});
  EXPECT_FALSE(saver.waitForExit(1500).has_value()) << "moving the mouse does not end it";
  ProgramRun::xdotool({"key", "x"});
  EXPECT_EQ(saver.waitForExit(10000), 0);
}

TEST_F(ProgramPassword, TypedAtOnceAWrongPasswordReturnsToPlaybackAndTheRightOneEndsItEveryTime) {
  if (const QString why = PamMatrix::unavailable(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const PamMatrix pam(platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n");
  saver.requirePassword(pam);

  // Typed at once, Return after the prompt is seen: on a busy machine the
  // prompt may come and go between two looks while the keys wait for it.
  startPlaying(true);
  wakeAndType(kPassword + "?", false);
  ASSERT_FALSE(saver.waitForWindow(kPromptTitle, 10000).isEmpty());
  saver.screenshot("password-prompt");
  ProgramRun::xdotool({"key", "Return"});
  EXPECT_TRUE(saver.waitForNoWindow(kPromptTitle, 10000)) << "a wrong password closes the prompt";
  EXPECT_FALSE(saver.waitForExit(0).has_value()) << "and returns to playback";
  EXPECT_TRUE(bothGrabsHeldElsewhere()) << "still locked";
  // A key in the moment after a prompt closed may still be lost (the lock
  // test presses it again); each right password below wakes a fresh saver.
  ASSERT_EQ(::kill(static_cast<pid_t>(saver.processId()), SIGTERM), 0);
  ASSERT_EQ(saver.waitForExit(10000), 0);

  for (int round = 0; round < 10; ++round) {
    ASSERT_NO_FATAL_FAILURE(startPlaying(true)) << "round " << round;
    wakeAndType(kPassword);
    ASSERT_EQ(saver.waitForExit(10000), 0) << "round " << round;
  }
}
