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

// Ten locked runs, each with a wrong password and then the right one typed
// in one go, 40 ms a key: twenty passwords into twenty prompts. Half of the
// runs are woken as soon as the guard holds the keyboard, before the
// playback window is up; the others once it plays.
TEST(ProgramTyping, EveryPasswordTypedUnderLoadReachesItsPromptWhole) {
  if (const QString why = whyTheLockCannotBeTried(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const PamMatrix pam(platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n");
  const TempFolder media;
  const QString clip = media::makeVideo(media / "clip.mpg", {160, 90}, 30.0);
  const Burner burner(3);
  QElapsedTimer took;
  took.start();
  for (int round = 0; round < 10; ++round) {
    ProgramRun saver;
    saver.writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
    saver.requirePassword(pam);
    saver.start({"/S"});
    ASSERT_TRUE(waitForBothGrabsHeldElsewhere(20000)) << "round " << round;
    if (round % 2 == 1) {
      ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 20000).isEmpty()) << "round " << round;
    }
    for (const QString& password : {"wrong" + kPassword, kPassword}) {
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
