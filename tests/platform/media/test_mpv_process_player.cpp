// The player on the real mpv program and real tiny files made with ffmpeg.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <functional>

#include "platform/media/mpv_process_player.h"
#include "support/media.h"
#include "support/temp_folder.h"

using platform::Dispid;
using platform::MpvProcessPlayer;
namespace play_state = platform::play_state;

namespace {

bool waitUntil(const std::function<bool()>& condition, int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  while (!condition() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return condition();
}

// A player with everything it reports written down.
struct Watched {
  explicit Watched(MpvProcessPlayer::Picture picture = MpvProcessPlayer::Picture::None)
      : player(nullptr, picture) {
    player.resize(64, 48);
    QObject::connect(&player, &MpvProcessPlayer::ReadyStateChange,
                     [this](int state) { readyStates.push_back(state); });
    QObject::connect(&player, &MpvProcessPlayer::PlayStateChange, [this](int from, int to) {
      playStates.push_back({from, to});
    });
  }

  void open(const QString& path) {
    readyStates.clear();
    player.put(Dispid::FileName, QString());
    player.put(Dispid::CoverArtIsNoPicture, true);
    player.put(Dispid::FileName, path);
  }
  void play() {
    playStates.clear();
    player.invoke(Dispid::Play);
  }
  bool ready(int milliseconds = 10000) {
    return waitUntil([this] { return !readyStates.empty(); }, milliseconds);
  }
  bool reached(int from, int to, int milliseconds = 10000) {
    return waitUntil(
        [&] {
          return std::find(playStates.begin(), playStates.end(), std::pair{from, to}) !=
                 playStates.end();
        },
        milliseconds);
  }

  MpvProcessPlayer player;
  std::vector<int> readyStates;
  std::vector<std::pair<int, int>> playStates;
};

}  // namespace

TEST(MpvProcessPlayer, EachKindOfFileReportsReadyAndItsPictureSize) {
  TempFolder folder;
  media::makeVideo(folder / "clip.mpg", {64, 48});
  media::makeVideo(folder / "clip.avi", {80, 60});
  media::makeVideo(folder / "clip.mov", {96, 64});
  media::makeSound(folder / "plain.mp3");
  media::makeSound(folder / "cover.mp3", 1.0, true);
  const struct {
    QString name;
    int width, height;
  } files[] = {{"clip.mpg", 64, 48},
               {"clip.avi", 80, 60},
               {"clip.mov", 96, 64},
               {"plain.mp3", 0, 0},
               {"cover.mp3", 0, 0}};

  Watched watched;
  for (const auto& file : files) {
    watched.open(folder / file.name);
    ASSERT_TRUE(watched.ready()) << file.name.toStdString();
    EXPECT_EQ(watched.readyStates, std::vector<int>{platform::kReadyStateComplete});
    EXPECT_EQ(watched.player.get(Dispid::ImageSourceWidth).toInt(), file.width)
        << file.name.toStdString();
    EXPECT_EQ(watched.player.get(Dispid::ImageSourceHeight).toInt(), file.height)
        << file.name.toStdString();
    EXPECT_EQ(watched.player.playState(), play_state::kStopped) << "opened paused";
  }
}

TEST(MpvProcessPlayer, PlaysToTheEndAsStoppedAndPausesOnlyOnAPause) {
  TempFolder folder;
  Watched watched;
  watched.open(media::makeVideo(folder / "short.mpg", {64, 48}, 0.5));
  ASSERT_TRUE(watched.ready());
  watched.play();
  ASSERT_TRUE(watched.reached(play_state::kStopped, play_state::kPlaying));
  ASSERT_TRUE(watched.reached(play_state::kPlaying, play_state::kStopped));
  EXPECT_EQ(watched.playStates, (std::vector<std::pair<int, int>>{{0, 2}, {2, 0}}));

  // Opening the next file while one plays: stopped at once, never paused.
  watched.open(media::makeVideo(folder / "long.avi", {64, 48}, 5));
  ASSERT_TRUE(watched.ready());
  watched.play();
  ASSERT_TRUE(watched.reached(play_state::kStopped, play_state::kPlaying));
  watched.open(folder / "short.mpg");
  EXPECT_EQ(watched.playStates.back(), std::pair(play_state::kPlaying, play_state::kStopped));
  ASSERT_TRUE(watched.ready());

  watched.open(folder / "long.avi");
  ASSERT_TRUE(watched.ready());
  watched.play();
  ASSERT_TRUE(watched.reached(play_state::kStopped, play_state::kPlaying));
  waitUntil([] { return false; }, 300);  // someone pauses it a little later
  watched.playStates.clear();
  watched.player.mpvCommand({"set", "pause", "yes"});
  ASSERT_TRUE(watched.reached(play_state::kPlaying, play_state::kPaused));
  watched.player.invoke(Dispid::Stop);
  EXPECT_EQ(watched.player.playState(), play_state::kStopped);
}

TEST(MpvProcessPlayer, WhatIsNoMediaNeverGetsReady) {
  TempFolder folder;
  folder.write("notes.mpg", "these are words, not pictures\n");
  folder.write("http:/x.avi", "");
  Watched watched;
  for (const QString& path : {folder / "missing.avi", folder / "notes.mpg", QString(),
                              QStringLiteral("-"), QStringLiteral("http://localhost:1/x.avi")}) {
    watched.open(path);
    EXPECT_FALSE(watched.ready(800)) << path.toStdString();
    watched.play();
    EXPECT_EQ(watched.player.playState(), play_state::kStopped);
  }
  // It still plays a good file afterwards.
  watched.open(media::makeVideo(folder / "good.mpg"));
  EXPECT_TRUE(watched.ready());
}

TEST(MpvProcessPlayer, DamagedFilesAndThingsThatAreNoFileNeitherStallNorPlayAnythingElse) {
  TempFolder folder;
  folder.write("empty.mpg", "");
  // A folder named like a clip, holding one: it is not a clip to play.
  QDir(folder.path()).mkpath("folder.mpg");
  media::makeVideo(folder / "folder.mpg/inside.mpg");
  // A named pipe nobody writes to would block whoever opens it for reading.
  ASSERT_EQ(mkfifo(QFile::encodeName(folder / "pipe.mpg").constData(), 0600), 0);
  Watched watched;
  const QString good = media::makeVideo(folder / "good.mpg");
  for (const QString& path : {folder / "empty.mpg", folder / "folder.mpg", folder / "pipe.mpg",
                              good + QChar(0) + ".txt"}) {
    watched.open(path);
    EXPECT_FALSE(watched.ready(1500)) << path.toStdString();
  }
  // A clip cut off half way plays what it holds and then ends as any other.
  QFile whole(media::makeVideo(folder / "whole.mpg", {64, 48}, 2.0));
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  folder.write("cut.mpg", whole.read(whole.size() / 2));
  watched.open(folder / "cut.mpg");
  ASSERT_TRUE(watched.ready());
  watched.play();
  EXPECT_TRUE(watched.reached(play_state::kPlaying, play_state::kStopped));
}
