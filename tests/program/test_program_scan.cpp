// The built saver scanning its drive at start, then playing what it found.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QImage>

#include "support/media.h"
#include "support/program_run.h"

namespace {

// 'r', 'g' or 'b' when the screen's middle is clearly that colour, else '-'.
char middleColour(const QImage& shot) {
  const QColor c = shot.pixelColor(shot.width() / 2, shot.height() / 2);
  if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
    return 'r';
  if (c.green() > 100 && c.red() < 60 && c.blue() < 60)
    return 'g';
  if (c.blue() > 200 && c.red() < 60 && c.green() < 60)
    return 'b';
  return '-';
}

}  // namespace

TEST(ProgramScan, TheDriveMappedToAFolderIsScannedAndItsClipsPlay) {
  if (!haveDisplay())
    GTEST_SKIP() << "needs an X display; ./x test provides one";
  ProgramRun saver;
  const TempFolder& folder = saver.folder();
  for (const char* subfolder : {"disc/Films", "disc/mpegav"})
    QDir().mkpath(folder / subfolder);
  media::makeVideo(folder / "disc/red.mpg", {160, 90}, 1.5, Qt::red);
  media::makeVideo(folder / "disc/Films/green.MPG", {160, 90}, 1.5, Qt::green);
  media::makeVideo(folder / "disc/mpegav/avseq01.dat", {160, 90}, 1.5, Qt::blue);
  folder.write("disc/notes.txt", "not a clip");
  QFile drives(saver.configFolder() + "/drives");
  ASSERT_TRUE(drives.open(QIODevice::WriteOnly));
  drives.write("# the disc of this test\nd: " + (folder / "disc").toUtf8() + "\n");
  drives.close();
  // Scanning on, drive D:, and no play-list entries of its own.
  saver.writeSettingsFile("D:\r\n*.MPG\r\n");
  saver.start({"/S"});
  ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());

  const QString shots = folder / "shots";
  QDir().mkpath(shots);
  media::runFfmpeg({"-f", "x11grab", "-framerate", "5", "-t", "8", "-i",
                    qEnvironmentVariable("DISPLAY"), shots + "/%03d.png"});
  QString colours;
  for (const QString& name : QDir(shots).entryList({"*.png"}, QDir::Files, QDir::Name))
    colours += middleColour(QImage(shots + "/" + name));
  SCOPED_TRACE(colours.toStdString());
  EXPECT_TRUE(colours.contains('r')) << "the file at the drive's root";
  EXPECT_TRUE(colours.contains('g')) << "the file in a folder below it";
  EXPECT_TRUE(colours.contains('b')) << "the Video CD track";
  saver.screenshot("scan-playback");
  EXPECT_EQ(saver.settingsFile(), "D:\r\n*.MPG\r\n") << "the scan never writes the settings";

  ASSERT_EQ(::kill(static_cast<pid_t>(saver.processId()), SIGTERM), 0);
  EXPECT_EQ(saver.waitForExit(3000), 0);
}
