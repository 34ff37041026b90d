// The player on the real mpv program and real tiny files made with ffmpeg.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <csignal>
#include <functional>

#include "platform/media/mpv_process_player.h"
#include "support/media.h"
#include "support/temp_folder.h"
#include "support/wait.h"

using platform::Dispid;
using platform::MpvProcessPlayer;
namespace play_state = platform::play_state;

namespace {

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
    return waitRunningEvents([this] { return !readyStates.empty(); }, milliseconds);
  }
  bool reached(int from, int to, int milliseconds = 10000) {
    return waitRunningEvents(
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
  waitRunningEvents([] { return false; }, 300);  // someone pauses it a little later
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

namespace {

bool processGone(qint64 pid) {
  return waitRunningEvents([pid] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); },
                           MpvProcessPlayer::kAnswerMs + 5000);
}

}  // namespace

TEST(MpvProcessPlayer, RunsApartAndIsReplacedWhenItDiesOrHangs) {
  TempFolder folder;
  const QString clip = media::makeVideo(folder / "clip.avi", {64, 48}, 30);
  // A descriptor of ours, open across the start: mpv must not hold it.
  QFile secret(folder.write("secret", "x"));
  ASSERT_TRUE(secret.open(QIODevice::ReadOnly));
  ASSERT_EQ(fcntl(secret.handle(), F_SETFD, 0), 0);
  Watched watched;
  const qint64 first = watched.player.playerProcessId();
  ASSERT_GT(first, 0);
  EXPECT_EQ(getpgid(static_cast<pid_t>(first)), first) << "a process group of its own";
  const auto oomScore = [first] {
    QFile oom(QStringLiteral("/proc/%1/oom_score_adj").arg(first));
    return oom.open(QIODevice::ReadOnly) ? oom.readAll().trimmed() : QByteArray();
  };
  // Its descriptors are looked at once it is mpv: between fork and exec it
  // still holds ours for a moment.
  const auto isMpv = [first] {
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(first)).symLinkTarget().endsWith("/mpv");
  };
  ASSERT_TRUE(waitRunningEvents(isMpv, 5000));
  EXPECT_EQ(oomScore(), "1000") << "the first to go";
  for (const QFileInfo& fd : QDir(QStringLiteral("/proc/%1/fd").arg(first)).entryInfoList())
    EXPECT_NE(fd.symLinkTarget(), secret.fileName());

  // Killed or stopped while a clip plays: the clip has stopped, the next
  // file gets a fresh mpv, and the old one is reaped.
  for (const int signal : {SIGSEGV, SIGKILL, SIGSTOP}) {
    watched.open(clip);
    ASSERT_TRUE(watched.ready()) << signal;
    watched.play();
    ASSERT_TRUE(watched.reached(play_state::kStopped, play_state::kPlaying));
    const qint64 pid = watched.player.playerProcessId();
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), signal), 0);
    EXPECT_TRUE(watched.reached(play_state::kPlaying, play_state::kStopped,
                                MpvProcessPlayer::kAnswerMs + 5000))
        << signal;
    EXPECT_TRUE(processGone(pid)) << signal;
  }
  // Killed while a file opens: it never gets ready; the next one does.
  watched.open(clip);
  ASSERT_EQ(::kill(static_cast<pid_t>(watched.player.playerProcessId()), SIGKILL), 0);
  EXPECT_FALSE(watched.ready(1500));
  watched.open(clip);
  EXPECT_TRUE(watched.ready());
  EXPECT_NE(watched.player.playerProcessId(), first);
}

TEST(MpvProcessPlayer, NonsenseFromThePlayerIsIgnoredAndSilenceEndsIt) {
  TempFolder folder;
  const QString clip = media::makeVideo(folder / "clip.mpg");
  // A stand-in for mpv that floods the socket with a line longer than any
  // kept, then lines of every wrong shape, then says nothing more.
  folder.write("mpv",
               "#!/bin/bash\n"
               "head -c 3000000 /dev/zero | tr '\\0' x >&3\n"
               "printf '\\n[]\\n\"x\"\\n{\"event\":5}\\nnot json\\n\\xff\\xfe{\\n' >&3\n"
               "printf '{\"request_id\":1e300}\\n{\"request_id\":3,\"error\":\"success\","
               "\"data\":{\"playlist_entry_id\":[1]}}\\n' >&3\n"
               "printf '{\"event\":\"start-file\",\"playlist_entry_id\":\"1\"}\\n"
               "{\"event\":\"file-loaded\"}\\n{\"event\":\"property-change\",\"name\":\"pause\","
               "\"data\":{}}\\n' >&3\n"
               "exec sleep 60\n");
  QFile(folder / "mpv").setPermissions(QFile::ReadOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(folder.path()) + ":" + path);
  {
    Watched watched;
    qputenv("PATH", path);
    const qint64 pid = watched.player.playerProcessId();
    watched.open(clip);
    EXPECT_TRUE(processGone(pid)) << "killed for not answering";
    EXPECT_TRUE(watched.readyStates.empty());
    EXPECT_EQ(watched.player.playState(), play_state::kStopped);
  }
  qputenv("PATH", path);
}

TEST(MpvProcessPlayer, KeysButtonsAndFocusStayWithTheWidget) {
  TempFolder folder;
  Watched watched(MpvProcessPlayer::Picture::Automatic);
  watched.player.show();
  watched.open(media::makeVideo(folder / "clip.mpg", {64, 48}, 3));
  ASSERT_TRUE(watched.ready());
  watched.play();
  int keys = 0, buttons = 0, focusLosses = 0;
  QObject::connect(&watched.player, &MpvProcessPlayer::KeyDown, [&] { ++keys; });
  QObject::connect(&watched.player, &MpvProcessPlayer::MouseDown, [&] { ++buttons; });
  QObject::connect(&watched.player, &MpvProcessPlayer::LostFocus, [&] { ++focusLosses; });
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QCoreApplication::sendEvent(&watched.player, &key);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&watched.player, &press);
  QMouseEvent move(QEvent::MouseMove, QPointF(9, 9), QPointF(9, 9), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&watched.player, &move);
  QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(&watched.player, &focusOut);
  EXPECT_EQ(keys, 1);
  EXPECT_EQ(buttons, 1);
  EXPECT_EQ(focusLosses, 1);
  EXPECT_EQ(watched.player.playState(), play_state::kPlaying) << "input does not touch playback";
}
