// The real PAM path, through pam_wrapper and pam_matrix. pam_wrapper works
// by LD_PRELOAD, so the checks run in a child: this same test binary started
// again with the wrapper in its environment and only the child's tests.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "platform/pam_check.h"
#include "platform/password_prompt.h"
#include "support/temp_folder.h"

namespace {

const QString kWrapper = QStringLiteral("/usr/lib/x86_64-linux-gnu/libpam_wrapper.so");
const QString kMatrix = QStringLiteral("/usr/lib/x86_64-linux-gnu/pam_wrapper/pam_matrix.so");

bool inChild() {
  return qEnvironmentVariableIsSet("REELVISTA_PAM_CHILD");
}

QByteArray password(const char* text) {
  return QByteArray(text);  // a fresh copy, the check's to wipe
}

}  // namespace

TEST(PamCheckInChild, ThePasswordFileDecides) {
  if (!inChild())
    GTEST_SKIP() << "runs inside PamCheck.ThroughPamWrapper";
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
  if (inChild())
    GTEST_SKIP();
  if (!QFile::exists(kWrapper) || !QFile::exists(kMatrix))
    GTEST_SKIP() << "libpam-wrapper is not installed";
  TempFolder folder;
  const QString passdb = folder.write("passdb",
                                      "alice:right horse:reelvista\n"
                                      "bob:bob's:sshd\n" +
                                          platform::currentUserName() + ":own secret:reelvista\n");
  const QByteArray module = kMatrix.toUtf8() + " passdb=" + passdb.toUtf8() + "\n";
  folder.write("services/reelvista", "auth required " + module + "account required " + module);

  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("LD_PRELOAD", kWrapper);
  environment.insert("PAM_WRAPPER", "1");
  environment.insert("PAM_WRAPPER_SERVICE_DIR", folder / "services");
  environment.insert("REELVISTA_PAM_CHILD", "1");
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QFile::symLinkTarget("/proc/self/exe"), {"--gtest_filter=PamCheckInChild.*"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromLocal8Bit(child.readAll());
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
