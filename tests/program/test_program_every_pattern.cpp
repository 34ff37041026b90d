// The built saver plays a file of every kind the default patterns name: the
// Video CD tracks through their image, the metafile through its files.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include "support/media.h"
#include "support/program_run.h"
#include "support/video_cd_image.h"

TEST(ProgramEveryPattern, EveryEntryPlaysToItsEndPassAfterPass) {
  if (!haveDisplay())
    GTEST_SKIP() << "needs an X display; ./x test provides one";
  ProgramRun saver;
  const TempFolder& folder = saver.folder();
  media::makeVideo(folder / "clip.avi");
  media::makeVideo(folder / "clip.mov");
  media::makeVideo(folder / "clip.mpg");
  media::makeSound(folder / "tone.mp3");
  media::runFfmpeg({"-f", "lavfi", "-i", "testsrc=d=1:s=64x48:r=25", "-f", "lavfi", "-i",
                    "sine=d=1", "-c:v", "mpeg4", "-c:a", "aac", "-shortest", "-f", "mov",
                    folder / "clip.qt"});
  media::runFfmpeg({"-f", "lavfi", "-i", "sine=d=1", "-ar", "8000", "-ac", "1", "-c:a", "real_144",
                    "-f", "rm", folder / "tone.ra"});
  for (const QString name : {"clip.rm", "named.rm"}) {
    media::runFfmpeg({"-f", "lavfi", "-i", "testsrc=d=1:s=64x48:r=25", "-f", "lavfi", "-i",
                      "sine=d=1", "-c:v", "rv20", "-c:a", "ac3", "-shortest", folder / name});
  }
  QFile::copy(folder / "tone.ra", folder / "named.ra");
  folder.write("show.rmm", "# two files\nnamed.rm\nhttp://example.com/far.rm\nnamed.ra\n");
  // A Video CD mounted on "cd": its tracks are not readable as files.
  QDir(folder.path()).mkpath("image");
  const VideoCdImage image = makeVideoCdImage(folder / "image");
  QDir(folder.path()).mkpath("cd/MPEGAV");
  for (const QString track : {"AVSEQ01.DAT", "AVSEQ02.DAT"})
    ASSERT_TRUE(QFile::link("/proc/self/mem", folder / "cd/MPEGAV/" + track));
  saver.setEnvironment(
      "REELVISTA_MOUNT_TABLE",
      folder.write("mounts", (image.cue + " " + folder / "cd" + " iso9660 ro 0 0\n").toUtf8()));
  const QString log = folder / "player.log";
  saver.setEnvironment("REELVISTA_PLAYER_LOG", log);

  const QStringList entries{"clip.avi",
                            "clip.mov",
                            "clip.qt",
                            "clip.mpg",
                            "tone.mp3",
                            "tone.ra",
                            "clip.rm",
                            "show.rmm",
                            "cd/MPEGAV/AVSEQ01.DAT",
                            "cd/MPEGAV/AVSEQ02.DAT"};
  QByteArray settings = "\r\n*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM\r\n";
  for (const QString& entry : entries)
    settings += (folder / entry).toUtf8() + "\r\n";
  saver.writeSettingsFile(settings);
  saver.start({"/S"});
  ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());

  // What mpv was given to play, as its log says. The next entry is opened
  // only once the one before has played to its end, so an entry opened twice
  // means a whole pass went by: every entry before it played through.
  const auto timesPlayed = [&log](const QString& name) {
    QFile file(log);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count("Opening done: " + name.toUtf8())
                                          : 0;
  };
  const QStringList opened = {"clip.avi", "clip.mov", "clip.qt",  "clip.mpg", "tone.mp3",
                              "tone.ra",  "clip.rm",  "named.rm", "named.ra"};
  const auto everyOneTwice = [&] {
    return std::all_of(opened.begin(), opened.end(),
                       [&](const QString& name) { return timesPlayed(folder / name) >= 2; }) &&
           timesPlayed("") >= 2 * (opened.size() + 2);
  };
  const QDeadlineTimer deadline(120000);
  while (!everyOneTwice() && !deadline.hasExpired())
    QThread::msleep(250);
  for (const QString& name : opened)
    EXPECT_GE(timesPlayed(folder / name), 2) << name.toStdString();
  EXPECT_GE(timesPlayed(QString()) - timesPlayed(folder.path()), 4) << "the two tracks, twice";
  EXPECT_FALSE(saver.waitForExit(0).has_value()) << saver.standardError().toStdString();
}
