// The player on what the default patterns name beyond plain files: RealMedia
// metafiles, RealAudio, QuickTime, and Video CD tracks read raw from a disc.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <functional>

#include "platform/media/mpv_process_player.h"
#include "support/media.h"
#include "support/temp_folder.h"
#include "support/video_cd_image.h"
#include "support/wait.h"

using platform::Dispid;
using platform::MpvProcessPlayer;
namespace play_state = platform::play_state;

namespace {

struct Played {
  bool ready = false;
  int width = -1, height = -1;
  std::vector<std::pair<int, int>> playStates;
  qint64 playedMs = -1;  // from Play to stopped
};

// Opens the file, plays it to its end and tells what was seen.
Played play(MpvProcessPlayer& player, const QString& path, int readyMs = 20000) {
  Played seen;
  QObject context;
  QObject::connect(&player, &MpvProcessPlayer::ReadyStateChange, &context,
                   [&seen](int state) { seen.ready = state == platform::kReadyStateComplete; });
  QObject::connect(&player, &MpvProcessPlayer::PlayStateChange, &context,
                   [&seen](int from, int to) {
                     seen.playStates.push_back({from, to});
                   });
  player.put(Dispid::FileName, path);
  if (!waitRunningEvents([&] { return seen.ready; }, readyMs))
    return seen;
  seen.width = player.get(Dispid::ImageSourceWidth).toInt();
  seen.height = player.get(Dispid::ImageSourceHeight).toInt();
  seen.playStates.clear();
  QElapsedTimer timer;
  timer.start();
  player.invoke(Dispid::Play);
  if (waitRunningEvents([&] { return player.playState() == play_state::kStopped; }, 60000))
    seen.playedMs = timer.elapsed();
  return seen;
}

const std::vector<std::pair<int, int>> kPlayedThrough{{0, 2}, {2, 0}};

void makeClip(const QString& path, const QStringList& codecs, bool picture = true) {
  QStringList arguments;
  if (picture)
    arguments << "-f"
              << "lavfi"
              << "-i"
              << "testsrc=d=1:s=64x48:r=25";
  arguments << "-f"
            << "lavfi"
            << "-i"
            << "sine=d=1";
  media::runFfmpeg(arguments + codecs + QStringList{"-shortest", path});
}

}  // namespace

TEST(MpvProcessPlayerEntries, RealMediaAndQuickTimePlayAndAMetafilePlaysItsFilesAsOne) {
  TempFolder folder;
  makeClip(folder / "clip.rm", {"-c:v", "rv20", "-c:a", "ac3"});
  makeClip(folder / "clip.qt", {"-c:v", "mpeg4", "-c:a", "aac", "-f", "mov"});
  makeClip(folder / "tone.ra", {"-ar", "8000", "-ac", "1", "-c:a", "real_144", "-f", "rm"}, false);
  MpvProcessPlayer player(nullptr, MpvProcessPlayer::Picture::None);
  player.put(Dispid::CoverArtIsNoPicture, true);

  const Played realAudio = play(player, folder / "tone.ra");
  EXPECT_TRUE(realAudio.ready);
  EXPECT_EQ(realAudio.width, 0);
  EXPECT_EQ(realAudio.playStates, kPlayedThrough);
  for (const QString name : {"clip.rm", "clip.qt"}) {
    const Played video = play(player, folder / name);
    EXPECT_EQ(video.width, 64) << name.toStdString();
    EXPECT_EQ(video.height, 48) << name.toStdString();
    EXPECT_EQ(video.playStates, kPlayedThrough) << name.toStdString();
  }

  const QString list = folder.write(
      "lists/show.rmm", ("http://example.com/far.rm\n" + folder / "clip.rm" +
                         "\n../tone.ra\nmissing.rm\nfile://" + folder / "clip.qt" + "\n")
                            .toUtf8());
  const Played three = play(player, list);
  EXPECT_EQ(three.width, 64);
  EXPECT_EQ(three.playStates, kPlayedThrough);  // one file: stopped only after the last
  EXPECT_GE(three.playedMs, 2500);

  folder.write("remote.ram", "rtsp://example.com/far.rm\npnm://example.com/far.ra\n");
  const Played remote = play(player, folder / "remote.ram", 3000);
  EXPECT_FALSE(remote.ready);
}

TEST(MpvProcessPlayerEntries, AVideoCdTrackTheDiscWillNotReadPlaysFromItsImage) {
  TempFolder folder;
  const VideoCdImage image = makeVideoCdImage(folder.path());
  // The image stands for a disc mounted on "cd"; reading this process's
  // memory at offset 0 fails as reading a Mode 2 Form 2 track does.
  QDir(folder.path()).mkpath("cd/MPEGAV");
  for (const QString track : {"AVSEQ01.DAT", "AVSEQ02.DAT"})
    ASSERT_TRUE(QFile::link("/proc/self/mem", folder / "cd/MPEGAV/" + track));
  const QByteArray mountLine = (image.cue + " " + folder / "cd" + " iso9660 ro 0 0\n").toUtf8();
  MpvProcessPlayer player(nullptr, MpvProcessPlayer::Picture::None);
  player.setMountTable([mountLine] { return platform::parseMounts(mountLine); });

  for (const QString track : {"AVSEQ01.DAT", "AVSEQ02.DAT"}) {
    const Played played = play(player, folder / "cd/MPEGAV/" + track);
    EXPECT_TRUE(played.ready) << track.toStdString();
    EXPECT_EQ(played.width, 352);
    EXPECT_EQ(played.height, 288);
    EXPECT_EQ(played.playStates, kPlayedThrough);
  }
  // The same track copied off the disc reads as a file and plays as one.
  QFile::copy(image.clips[0], folder / "AVSEQ01.DAT");
  EXPECT_EQ(play(player, folder / "AVSEQ01.DAT").playStates, kPlayedThrough);
}
