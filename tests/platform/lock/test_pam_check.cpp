// The real PAM path, through pam_wrapper and pam_matrix. pam_wrapper works
// by LD_PRELOAD, so the checks run in a child: this same test binary started
// again with the wrapper in its environment and only the child's tests,
// which are disabled in an ordinary run so that they neither run nor skip.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "platform/lock/pam_check.h"
#include "platform/lock/password_prompt.h"
#include "support/pam_matrix.h"

namespace {

QByteArray password(const char* text) {
  return QByteArray(text);  // a fresh copy, the check's to wipe
}

}  // namespace

TEST(PamCheckInChild, DISABLED_ThePasswordFileDecides) {
  QByteArray right = password("right horse");
  EXPECT_TRUE(platform::checkPassword("alice", right, ":99"));
  EXPECT_TRUE(right.isEmpty()) << "the password is wiped";

  QByteArray wrong = password("wrong horse");
  EXPECT_FALSE(platform::checkPassword("alice", wrong, ":99"));
  EXPECT_TRUE(wrong.isEmpty());
  QByteArray empty;
  EXPECT_FALSE(platform::checkPassword("alice", empty, ":99"));
  QByteArray withZero("right horse\0tail", 16);
  EXPECT_FALSE(platform::checkPassword("alice", withZero, ":99"));

  QByteArray unknown = password("right horse");
  EXPECT_FALSE(platform::checkPassword("nobody-here", unknown, ":99"));
  QByteArray noUser = password("right horse");
  EXPECT_FALSE(platform::checkPassword("", noUser, ":99"));

  // bob may log in elsewhere, but not to this program: the account step.
  QByteArray otherService = password("bob's");
  EXPECT_FALSE(platform::checkPassword("bob", otherService, ":99"));

  // The desktop's check asks for the user running the program.
  QByteArray own = password("own secret");
  EXPECT_TRUE(platform::pamPasswordCheck()(own));
  QByteArray ownWrong = password("right horse");
  EXPECT_FALSE(platform::pamPasswordCheck()(ownWrong));
}

TEST(PamCheck, ThroughPamWrapper) {
  if (const QString why = PamMatrix::unavailable(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const PamMatrix pam(
      "alice:right horse:reelvista\n"
      "bob:bob's:sshd\n" +
      platform::currentUserName() + ":own secret:reelvista\n");

  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const auto& [name, value] : pam.environment())
    environment.insert(name, value);
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QFile::symLinkTarget("/proc/self/exe"),
              {"--gtest_also_run_disabled_tests", "--gtest_filter=PamCheckInChild.*"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromLocal8Bit(child.readAll());
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// The system's own PAM, in this process: whatever its files say, a user who
// does not exist is refused and the password is wiped.
TEST(PamCheck, TheSystemsPamRefusesAUserThatDoesNotExist) {
  QByteArray guess = password("any password");
  EXPECT_FALSE(platform::checkPassword("reelvista-no-such-user", guess, ":99"));
  EXPECT_TRUE(guess.isEmpty());
}
