// ./x install and ./x uninstall into a temporary home, with the program this
// build made: the installed command starts it, its settings dialog saves
// beside it, a second install keeps that file, and uninstalling takes away
// what the install made and nothing else.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QThread>
#include <set>
#include <string>

#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

// Every file and folder below the root, one line each, sorted: a folder's
// path ends with a slash, a file's is followed by its bytes.
std::set<std::string> tree(const QString& root) {
  std::set<std::string> found;
  QDirIterator walk(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
  while (walk.hasNext()) {
    const QString path = walk.next();
    const std::string name = QDir(root).relativeFilePath(path).toStdString();
    QFile file(path);
    found.insert(walk.fileInfo().isDir()
                     ? name + "/"
                     : name + " " + (file.open(QIODevice::ReadOnly), file.readAll().toStdString()));
  }
  return found;
}

class ProgramInstall : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    environment_.insert("HOME", home_.path());
    environment_.insert("REELVISTA_BUILD_DIR",
                        QFileInfo(qEnvironmentVariable("REELVISTA_EXECUTABLE")).path());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "QT_QPA_PLATFORM"})
      environment_.remove(name);
    // Without a session bus, libdbus would start one itself where dbus-x11
    // is installed, and note it in the home (~/.dbus), which is not ours.
    environment_.insert("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  }

  // Runs ./x with the arguments; its exit status.
  int x(const QStringList& arguments) {
    QProcess script;
    script.setProcessEnvironment(environment_);
    script.start(qEnvironmentVariable("REELVISTA_SOURCE_DIR") + "/x", arguments);
    script.waitForFinished(60000);
    EXPECT_EQ(script.readAllStandardError(), "");
    return script.exitStatus() == QProcess::NormalExit ? script.exitCode() : -1;
  }

  // Runs the installed command without arguments and presses Enter in the
  // settings dialog it opens, which saves; the command's exit status.
  int openAndSaveTheSettings() {
    QProcessEnvironment session = environment_;
    // The session's own folders, outside the home, so that whatever Qt keeps
    // there (caches and the like) is not taken for the install's work.
    session.insert("XDG_CONFIG_HOME", elsewhere_ / "config");
    session.insert("XDG_CACHE_HOME", elsewhere_ / "cache");
    session.insert("XDG_RUNTIME_DIR", elsewhere_.path());
    QProcess command;
    command.setProcessEnvironment(session);
    command.start(home_ / ".local/bin/reelvista");
    QString dialog;
    for (int tries = 0; tries < 150 && dialog.isEmpty(); ++tries) {
      QThread::msleep(100);
      dialog = ProgramRun::xdotool({"search", "--onlyvisible", "--pid",
                                    QString::number(command.processId()), "--name", "^Settings$"});
    }
    EXPECT_FALSE(dialog.isEmpty()) << "the command opens the settings dialog";
    ProgramRun::xdotool({"windowfocus", "--sync", dialog});
    QThread::msleep(300);
    ProgramRun::xdotool({"key", "Return"});
    if (!command.waitForFinished(10000))
      command.kill();
    command.waitForFinished(5000);
    return command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1;
  }

  TempFolder home_;
  TempFolder elsewhere_;
  QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
};

}  // namespace

TEST_F(ProgramInstall, InstallRunSaveReinstallAndUninstall) {
  // What the user had before: a command of their own and a setting.
  home_.write(".local/bin/mine", "#!/bin/sh\n");
  home_.write(".config/mine.conf", "mine\n");
  const std::set<std::string> before = tree(home_.path());

  ASSERT_EQ(x({"install", "--autostart"}), 0);
  EXPECT_TRUE(home_.read(".local/share/applications/reelvista-settings.desktop")
                  .contains("\nExec=\"" + (home_ / ".local/bin/reelvista").toUtf8() + "\"\n"));
  EXPECT_TRUE(home_.read(".config/autostart/reelvista.desktop")
                  .contains(" -- \"" + (home_ / ".local/bin/reelvista").toUtf8() + "\" /S\n"));

  ASSERT_EQ(openAndSaveTheSettings(), 0);
  const QString settings = ".local/lib/reelvista/ReelvistaSaver.INI";
  EXPECT_TRUE(home_.read(settings).contains("\r\n*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM\r\n"))
      << "saved beside the installed program";

  const QByteArray mine = "\r\n*.MPG\r\n/clips/mine.mpg\r\n";
  home_.write(settings, mine);
  ASSERT_EQ(x({"install"}), 0);
  EXPECT_EQ(home_.read(settings), mine) << "installing again keeps the settings";

  ASSERT_EQ(x({"uninstall"}), 0);
  std::set<std::string> expected = before;
  expected.insert(
      {".local/lib/", ".local/lib/reelvista/", settings.toStdString() + " " + mine.toStdString()});
  EXPECT_EQ(tree(home_.path()), expected);
}
