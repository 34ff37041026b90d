// The built saver scanning its drive at start, then playing what it found.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <algorithm>

#include "platform/controls/units.h"
#include "support/media.h"
#include "support/program_run.h"
#include "support/screen.h"
#include "support/wait.h"

namespace {

const QColor kDesktop(Qt::magenta);

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

// The colour of the screen's middle, five times a second for the seconds.
QString coloursPlayed(const TempFolder& folder, int seconds) {
  const QString shots = folder / "shots";
  QDir().mkpath(shots);
  media::runFfmpeg({"-f", "x11grab", "-framerate", "5", "-t", QString::number(seconds), "-i",
                    qEnvironmentVariable("DISPLAY"), shots + "/%03d.png"});
  QString colours;
  for (const QString& name : QDir(shots).entryList({"*.png"}, QDir::Files, QDir::Name))
    colours += middleColour(QImage(shots + "/" + name));
  return colours;
}

void writeDrives(const ProgramRun& saver, const QByteArray& lines) {
  QFile drives(saver.configFolder() + "/drives");
  ASSERT_TRUE(drives.open(QIODevice::WriteOnly));
  drives.write(lines);
}

// The scan window in the middle of the screen, its face and its message
// drawn, and the desktop all around it: nothing covers the screen.
bool scanWindowShowsOnTheDesktop() {
  const QImage whole = screen::grab();
  QRect window(0, 0, platform::twips(4215), platform::twips(1350));
  window.moveCenter(whole.rect().center());
  const QImage face = whole.copy(window.adjusted(3, 3, -3, -3));
  const bool drawn =
      screen::shareOf(face, [](const QColor& c) { return c.lightness() > 180; }) > 0.7 &&
      screen::shareOf(face, [](const QColor& c) { return c.lightness() < 80; }) > 0.005;
  const QRect ring = window.adjusted(-23, -23, 23, 23);
  const QRect around[] = {
      QRect(ring.left(), ring.top(), ring.width(), 20),
      QRect(ring.left(), window.bottom() + 4, ring.width(), 20),
      QRect(ring.left(), ring.top(), 20, ring.height()),
      QRect(window.right() + 4, ring.top(), 20, ring.height()),
  };
  return drawn && std::all_of(std::begin(around), std::end(around), [&](const QRect& strip) {
           return screen::shareOf(whole.copy(strip), kDesktop) > 0.99;
         });
}

// A tmpfs mounted in a new folder under /run for the test's life, as a
// desktop mounts a stick under /run/media/<user>. Only root may mount.
class MountUnderRun {
 public:
  MountUnderRun() {
    QByteArray name = "/run/reelvista-test-XXXXXX";
    if (::geteuid() != 0 || !::mkdtemp(name.data()))
      return;
    folder_ = QString::fromLatin1(name);
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=16m", "tmpfs", folder_}) != 0) {
      QDir().rmdir(folder_);
      folder_.clear();
    }
  }
  ~MountUnderRun() {
    if (folder_.isEmpty())
      return;
    QProcess::execute("umount", {"--lazy", folder_});
    QDir().rmdir(folder_);
  }
  MountUnderRun(const MountUnderRun&) = delete;
  MountUnderRun& operator=(const MountUnderRun&) = delete;

  // Empty when nothing could be mounted.
  const QString& folder() const { return folder_; }

 private:
  QString folder_;
};

class ProgramScan : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
  }
};

}  // namespace

TEST_F(ProgramScan, TheDriveMappedToAFolderIsScannedAndItsClipsPlay) {
  ProgramRun saver;
  const TempFolder& folder = saver.folder();
  for (const char* subfolder : {"disc/Films", "disc/mpegav"})
    QDir().mkpath(folder / subfolder);
  media::makeVideo(folder / "disc/red.mpg", {160, 90}, 1.5, Qt::red);
  media::makeVideo(folder / "disc/Films/green.MPG", {160, 90}, 1.5, Qt::green);
  media::makeVideo(folder / "disc/mpegav/avseq01.dat", {160, 90}, 1.5, Qt::blue);
  folder.write("disc/notes.txt", "not a clip");
  writeDrives(saver, "# the disc of this test\nd: " + (folder / "disc").toUtf8() + "\n");
  // Scanning on, drive D:, and no play-list entries of its own.
  saver.writeSettingsFile("D:\r\n*.MPG\r\n");
  saver.start({"/S"});
  ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());

  const QString colours = coloursPlayed(folder, 8);
  SCOPED_TRACE(colours.toStdString());
  EXPECT_TRUE(colours.contains('r')) << "the file at the drive's root";
  EXPECT_TRUE(colours.contains('g')) << "the file in a folder below it";
  EXPECT_TRUE(colours.contains('b')) << "the Video CD track";
  EXPECT_EQ(saver.settingsFile(), "D:\r\n*.MPG\r\n") << "the scan never writes the settings";

  ASSERT_EQ(::kill(static_cast<pid_t>(saver.processId()), SIGTERM), 0);
  EXPECT_EQ(saver.waitForExit(3000), 0);
}

// Desktops mount discs and sticks under /run/media: a drive there is
// scanned down to its deepest folder.
TEST_F(ProgramScan, ADiscMountedUnderRunIsScannedToTheBottom) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting a tmpfs under /run needs root";
  const MountUnderRun disc;
  ASSERT_FALSE(disc.folder().isEmpty()) << "root could not mount a tmpfs under /run";
  ASSERT_TRUE(QDir().mkpath(disc.folder() + "/CLIPS/MORE"));
  media::makeVideo(disc.folder() + "/CLIPS/RED.MPG", {160, 90}, 1.5, Qt::red);
  media::makeVideo(disc.folder() + "/CLIPS/MORE/GREEN.MPG", {160, 90}, 1.5, Qt::green);
  ProgramRun saver;
  writeDrives(saver, "E: " + disc.folder().toUtf8() + "\n");
  saver.writeSettingsFile("E:\r\n*.MPG\r\n");
  saver.start({"/S"});
  ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());

  const QString colours = coloursPlayed(saver.folder(), 6);
  SCOPED_TRACE(colours.toStdString());
  EXPECT_TRUE(colours.contains('r')) << "one folder deep";
  EXPECT_TRUE(colours.contains('g')) << "two folders deep";

  ASSERT_EQ(::kill(static_cast<pid_t>(saver.processId()), SIGTERM), 0);
  EXPECT_EQ(saver.waitForExit(3000), 0);
}

// C: is / unless the drives file says otherwise: a scan of it walks the whole
// system, which must neither end the saver on a process's folder that ends
// under the walk nor wander into the kernel's file systems. The walk takes
// long enough to see the scan window on the desktop.
TEST_F(ProgramScan, AScanOfTheRootFolderReachesPlaybackAndPlaysWhatItFound) {
  const screen::DesktopColour desktop(kDesktop);
  ProgramRun saver;
  const TempFolder& folder = saver.folder();
  // A name no other file on the system is likely to match.
  const QString clip = media::makeVideo(folder / "red.mpg", {160, 90}, 1.5, Qt::red);
  ASSERT_TRUE(QFile::rename(clip, folder / "red.rvscan"));
  writeDrives(saver, "C: /\n");
  saver.writeSettingsFile("C:\r\n*.RVSCAN\r\n");
  saver.start({"/S"});
  EXPECT_TRUE(waitUntil([] { return holdsFor(scanWindowShowsOnTheDesktop, 1500); }, 60000))
      << "the scan window stays on the desktop, uncovered";
  // The walk of / takes about ten seconds on an idle test machine.
  const QString canvas = saver.waitForWindow("Reelvista", 120000);
  ASSERT_FALSE(canvas.isEmpty()) << saver.standardError().toStdString();

  EXPECT_TRUE(waitUntil([] { return middleColour(screen::grab()) == 'r'; }, 20000))
      << "the clip found plays";
  ASSERT_TRUE(ProgramRun::waitForFocus(canvas, 10000));
  ProgramRun::xdotool({"key", "x"});
  EXPECT_EQ(saver.waitForExit(10000), 0) << "a key still ends it";
}
