// The program installed for every user, as the Debian package installs it:
// this build's install rules into a scratch root, run by an ordinary user;
// and the package ./x test made, checked by lintian and installed into a
// scratch root by dpkg.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "support/program_run.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace {

constexpr uid_t kNobody = 65534;

const QStringList kInstalled = {
    "/etc/pam.d/reelvista",
    "/usr/bin/reelvista",
    "/usr/lib/reelvista/Reelvista Screen Saver.SCR",
    "/usr/libexec/xscreensaver/reelvista",
    "/usr/libexec/xsecurelock/saver_reelvista",
    "/usr/share/applications/reelvista-settings.desktop",
    "/usr/share/applications/screensavers/reelvista.desktop",
    "/usr/share/doc/reelvista/changelog.Debian.gz",
    "/usr/share/doc/reelvista/copyright",
    "/usr/share/icons/hicolor/scalable/apps/reelvista.svg",
    "/usr/share/lintian/overrides/reelvista",
    "/usr/share/man/man1/reelvista.1.gz",
};

// Runs the tool to its end; its exit status, and what it printed.
int runTool(const QString& tool, const QStringList& arguments, QString* output = nullptr,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(tool, arguments);
  process.waitForFinished(120000);
  if (output)
    *output = QString::fromLocal8Bit(process.readAll());
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The files and links below the root, as absolute paths inside it.
QStringList filesBelow(const QString& root) {
  QStringList found;
  QDirIterator walk(root, QDir::Files | QDir::System, QDirIterator::Subdirectories);
  while (walk.hasNext())
    found << walk.next().mid(root.size());
  found.sort();
  return found;
}

// An X authority file the user "nobody" may read: xvfb-run keeps its own
// for root alone.
QString authorityForNobody(const TempFolder& folder) {
  QString copy = folder / "Xauthority";
  QFile::copy(qEnvironmentVariable("XAUTHORITY"), copy);
  if (::chown(QFile::encodeName(copy).constData(), kNobody, kNobody) != 0)
    return {};
  return copy;
}

}  // namespace

TEST(ProgramPackage, InstalledForEveryUserEachKeepsTheSettingsInTheirOwnFolder) {
  if (!haveDisplay())
    GTEST_SKIP() << "needs an X display; ./x test provides one";
  TempFolder root;
  QProcessEnvironment install = QProcessEnvironment::systemEnvironment();
  install.insert("DESTDIR", root.path());
  const QString build = QFileInfo(qEnvironmentVariable("REELVISTA_EXECUTABLE")).path();
  QString log;
  ASSERT_EQ(runTool("cmake", {"--install", build, "--prefix", "/usr"}, &log, install), 0)
      << log.toStdString();
  EXPECT_EQ(filesBelow(root.path()), kInstalled);
  for (const char* link :
       {"/usr/libexec/xscreensaver/reelvista", "/usr/libexec/xsecurelock/saver_reelvista"})
    EXPECT_EQ(QFileInfo(root / link).canonicalFilePath(),
              QFileInfo(root / "usr/lib/reelvista/Reelvista Screen Saver.SCR").canonicalFilePath());

  // An ordinary user opens the settings dialog and saves.
  TempFolder home;
  openPathToOthers(QFile::encodeName(root.path()).constData());
  openPathToOthers(QFile::encodeName(home.path()).constData());
  ASSERT_EQ(::chown(QFile::encodeName(home.path()).constData(), kNobody, kNobody), 0);
  QProcessEnvironment session = QProcessEnvironment::systemEnvironment();
  session.insert("HOME", home.path());
  session.insert("XDG_CONFIG_HOME", home / "config");
  session.insert("XDG_RUNTIME_DIR", home.path());
  session.insert("XAUTHORITY", authorityForNobody(home));
  session.remove("QT_QPA_PLATFORM");
  QProcess command;
  command.setProcessEnvironment(session);
  command.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                            root / "usr/bin/reelvista"});
  QString dialog;
  for (int tries = 0; tries < 150 && dialog.isEmpty(); ++tries) {
    QThread::msleep(100);
    dialog = ProgramRun::xdotool({"search", "--onlyvisible", "--name", "^Settings$"});
  }
  ASSERT_FALSE(dialog.isEmpty()) << "the command opens the settings dialog";
  ProgramRun::xdotool({"windowfocus", "--sync", dialog});
  QThread::msleep(300);
  ProgramRun::xdotool({"key", "Return"});
  EXPECT_TRUE(command.waitForFinished(10000));
  EXPECT_EQ(command.exitCode(), 0) << command.readAllStandardError().toStdString();
  EXPECT_TRUE(home.read("config/reelvista/ReelvistaSaver.INI").startsWith("A:\r\n*.AVI;"))
      << "saved in the user's own folder";
  EXPECT_FALSE(QFile::exists(root / "usr/lib/reelvista/ReelvistaSaver.INI"));
}

// ./x package makes the package (a release build of its own, longer than a
// test may take); ./x test makes it before the tests and names it in
// REELVISTA_PACKAGE_FILE, so that this checks that one and never an older.
TEST(ProgramPackage, TheDebianPackageIsLintianCleanAndInstallsItsFiles) {
  const QString deb = qEnvironmentVariable("REELVISTA_PACKAGE_FILE");
  if (deb.isEmpty())
    GTEST_SKIP() << "no package named in REELVISTA_PACKAGE_FILE: ./x test makes one";
  ASSERT_TRUE(QFileInfo(deb).isFile()) << deb.toStdString() << " is not there";
  QString log;
  EXPECT_EQ(runTool("lintian", {"--fail-on", "error,warning", deb}, &log), 0) << log.toStdString();

  TempFolder root;
  for (const char* folder : {"var/lib/dpkg/info", "var/lib/dpkg/updates"})
    QDir().mkpath(root / folder);
  root.write("var/lib/dpkg/status", {});
  ASSERT_EQ(
      runTool("dpkg",
              {"--root=" + root.path(), "--force-depends", "--force-script-chrootless", "-i", deb},
              &log),
      0)
      << log.toStdString();
  ASSERT_EQ(runTool("dpkg", {"--root=" + root.path(), "-L", "reelvista"}, &log), 0);
  for (const QString& path : kInstalled)
    EXPECT_TRUE(log.split('\n').contains(path)) << path.toStdString();
  ASSERT_EQ(
      runTool("dpkg-query", {"--root=" + root.path(), "-W", "-f=${Conffiles}", "reelvista"}, &log),
      0);
  EXPECT_TRUE(log.contains("/etc/pam.d/reelvista")) << "the PAM file is a conffile";
}
