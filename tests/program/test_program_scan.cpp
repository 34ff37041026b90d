// The built saver scanning its drive at start, then playing what it found.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDeadlineTimer>
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

// C: is / unless the drives file says otherwise: a scan of it walks the whole
// system, which must neither end the saver on a process's folder that ends
// under the walk nor wander into the kernel's file systems.
TEST(ProgramScan, AScanOfTheRootFolderReachesPlaybackAndPlaysWhatItFound) {
  if (!haveDisplay())
    GTEST_SKIP() << "needs an X display; ./x test provides one";
  ProgramRun saver;
  const TempFolder& folder = saver.folder();
  // A name no other file on the system is likely to match.
  const QString clip = media::makeVideo(folder / "red.mpg", {160, 90}, 1.5, Qt::red);
  ASSERT_TRUE(QFile::rename(clip, folder / "red.rvscan"));
  QFile drives(saver.configFolder() + "/drives");
  ASSERT_TRUE(drives.open(QIODevice::WriteOnly));
  drives.write("C: /\n");
  drives.close();
  saver.writeSettingsFile("C:\r\n*.RVSCAN\r\n");
  saver.start({"/S"});
  // The walk of / takes about ten seconds on an idle test machine.
  const QString canvas = saver.waitForWindow("Reelvista", 120000);
  ASSERT_FALSE(canvas.isEmpty()) << saver.standardError().toStdString();

  const QDeadlineTimer deadline(20000);
  char colour = '-';
  while (colour != 'r' && !deadline.hasExpired())
    colour = middleColour(QImage(saver.screenshot("root-scan")));
  EXPECT_EQ(colour, 'r') << "the clip found plays";
  ASSERT_TRUE(ProgramRun::waitForFocus(canvas, 10000));
  ProgramRun::xdotool({"key", "x"});
  EXPECT_EQ(saver.waitForExit(10000), 0) << "a key still ends it";
}
