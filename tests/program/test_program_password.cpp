// The built saver ended by the user, with and without the password, under
// Xvfb; the password is checked by PAM through pam_wrapper and pam_matrix.
#include <gtest/gtest.h>

#include <QThread>

#include "platform/lock/pam_check.h"
#include "support/media.h"
#include "support/pam_matrix.h"
#include "support/program_run.h"

namespace {

const QString kPrompt = QStringLiteral("Reelvista password");

class ProgramPassword : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    const QString clip = media::makeVideo(saver.folder() / "clip.mpg", {160, 90}, 30.0);
    saver.writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
  }

  void startPlaying() {
    saver.start({"/S"});
    ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());
    QThread::msleep(1000);  // playing, the input grab taken
  }

  static void type(const QString& text) {
    ProgramRun::xdotool({"type", "--delay", "30", text});
    ProgramRun::xdotool({"key", "Return"});
  }

  ProgramRun saver;
};

}  // namespace

TEST_F(ProgramPassword, WithoutTheSettingAKeyEndsTheSaverAndAMouseMoveDoesNot) {
  startPlaying();
  ProgramRun::xdotool({"mousemove", "300", "200"});
  ProgramRun::xdotool({"mousemove", "700", "500"});
  EXPECT_FALSE(saver.waitForExit(1500).has_value()) << "moving the mouse does not end it";
  ProgramRun::xdotool({"key", "x"});
  EXPECT_EQ(saver.waitForExit(10000), 0);
}

TEST_F(ProgramPassword, WithTheSettingAWrongPasswordReturnsToPlaybackAndTheRightOneEndsIt) {
  if (const QString why = PamMatrix::unavailable(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const PamMatrix pam(platform::currentUserName() + ":open sesame:reelvista\n");
  saver.requirePassword(pam);
  startPlaying();

  ProgramRun::xdotool({"key", "x"});
  ASSERT_FALSE(saver.waitForWindow(kPrompt, 10000).isEmpty());
  saver.screenshot("password-prompt");
  type("open sesame?");
  EXPECT_FALSE(saver.waitForExit(3000).has_value()) << "a wrong password returns to playback";
  EXPECT_TRUE(saver.waitForWindow(kPrompt, 500).isEmpty());

  ProgramRun::xdotool({"key", "x"});
  ASSERT_FALSE(saver.waitForWindow(kPrompt, 10000).isEmpty()) << "the next key asks again";
  type("open sesame");
  EXPECT_EQ(saver.waitForExit(10000), 0);
}
