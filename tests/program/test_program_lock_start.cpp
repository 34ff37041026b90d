// A locked run whose saver cannot even be started: the guard holds on.
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/lock/pam_check.h"
#include "support/lock_steps.h"
#include "support/pam_matrix.h"
#include "support/program_run.h"
#include "support/screen_probe.h"
#include "support/wait.h"

// With too few descriptors left for the socket to its saver, the guard has
// covered and taken the screen and cannot start the saver: the screen stays
// black and held, and the guard tries again, until SIGTERM. The limit that
// leaves the guard its X connection but not the socket is found by trying.
TEST(ProgramLockStart, ASaverThatCannotStartLeavesTheScreenHeld) {
  if (const QString why = whyTheLockCannotBeTried(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const PamMatrix pam(platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n");
  const QString failed = "the saver could not be started";
  for (int most = 4; most < 32; ++most) {
    ProgramRun guard;
    guard.requirePassword(pam);
    guard.limitDescriptors(most);
    guard.start({"/S"});
    if (!waitUntil([&] { return bothGrabsHeldElsewhere() || guard.waitForExit(0); }, 10000) ||
        guard.waitForExit(0)) {
      // Too few to read the password setting (so nothing is locked) or to
      // reach X: it ends, and says why.
      const QString why = guard.standardError();
      ASSERT_FALSE(why.contains(failed) && !why.contains("user.reg"))
          << "with " << most << " descriptors it locked, then ended: " << why.toStdString();
      continue;
    }
    QString said;
    ASSERT_TRUE(waitUntil([&] { return (said += guard.standardError()).contains(failed); }, 3000))
        << "with " << most << " descriptors the saver started: " << said.toStdString();
    EXPECT_TRUE(holdsFor([&] { return !guard.waitForExit(0) && bothGrabsHeldElsewhere(); }, 2500))
        << "held through the retries; it said: " << said.toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(guard.processId()), SIGTERM), 0);
    EXPECT_EQ(guard.waitForExit(10000), 0);
    return;
  }
  FAIL() << "no limit of descriptors stopped the saver alone";
}
