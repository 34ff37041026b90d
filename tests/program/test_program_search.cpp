// The built program's search dialog, driven with the keyboard on the X
// display: a drive of the drives file searched, its files added, then saved.
#include <gtest/gtest.h>

#include <QFile>
#include <QThread>

#include "platform/controls/units.h"
#include "support/program_run.h"

namespace {

void keys(const QStringList& names) {
  for (const QString& name : names) {
    ProgramRun::xdotool({"key", "--clearmodifiers", name});
    QThread::msleep(150);
  }
}

void focus(const QString& window) {
  ProgramRun::xdotool({"windowfocus", "--sync", window});
  QThread::msleep(300);
}

}  // namespace

TEST(ProgramSearch, SearchADriveAddWhatItFoundAndTheFileHoldsItInTheWalksOrder) {
  if (!haveDisplay())
    GTEST_SKIP() << "needs an X display; ./x test provides one";
  ProgramRun run;
  const TempFolder& folder = run.folder();
  for (const char* name : {"disc/top.mp3", "disc/notes.txt", "disc/clips/a.avi",
                           "disc/clips/deep/b.MPG", "disc/zeta/c.mov"})
    folder.write(name, "x");
  // C: is where the program stands; D: is the disc.
  QFile drives(run.configFolder() + "/drives");
  ASSERT_TRUE(drives.open(QIODevice::WriteOnly));
  drives.write("C: " + folder.path().toUtf8() + "\nD: " + (folder / "disc").toUtf8() + "\n");
  drives.close();
  run.writeSettingsFile("A:\r\n*.AVI;*.MPG;*.MP3;*.MOV\r\n/old/first.avi\r\n");

  run.start({});
  const QString settings = run.waitForWindow("Settings", 15000);
  ASSERT_FALSE(settings.isEmpty());
  focus(settings);
  keys({"alt+s"});
  const QString search = run.waitForWindow("Search Reelvista file", 10000);
  ASSERT_FALSE(search.isEmpty());
  focus(search);

  // From "&Search" to the drive list: E&xit, the file list, the folder list.
  keys({"Tab", "Tab", "Tab", "Tab", "Down", "alt+s"});
  QThread::msleep(1000);
  keys({"alt+a"});
  QThread::msleep(1000);
  EXPECT_TRUE(ProgramRun::xdotool({"search", "--onlyvisible", "--name", "^Search Reelvista file$"})
                  .isEmpty())
      << "Add closes the search dialog";

  // OK, clicked in the middle of the button.
  focus(settings);
  ProgramRun::xdotool({"mousemove", "--window", settings,
                       QString::number(platform::twips(1800) + platform::twips(1095) / 2),
                       QString::number(platform::twips(4920) + platform::twips(375) / 2), "click",
                       "1"});
  ASSERT_EQ(run.waitForExit(10000), 0);
  const QString disc = folder / "disc";
  EXPECT_EQ(
      QString::fromUtf8(run.settingsFile()).split("\r\n").mid(1),
      QStringList({"*.AVI;*.MPG;*.MP3;*.MOV", "/old/first.avi", disc + "/zeta/c.mov",
                   disc + "/clips/deep/b.MPG", disc + "/clips/a.avi", disc + "/top.mp3", ""}));
}
