// The playback window with the scripted player: the calls it makes and how
// it answers the player's events and the user's input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>

#include "platform/scripted/scripted_platform.h"
#include "playback/canvas.h"
#include "startup/program.h"
#include "support/qt_printers.h"

using platform::scripted::ScriptedPlatform;
using platform::scripted::ScriptedPlayer;

namespace {

Windows::Factories windows() {
  return {
      .setup = [](Program&) { return std::make_unique<QWidget>(); },
      .winSeek = [](Program&) { return std::make_unique<QWidget>(); },
      .canvas = [](Program& program) { return std::make_unique<Canvas>(program); },
  };
}

// The calls LoadReelvista makes for a file.
QStringList loadCalls(const QString& path) {
  return {"put 1026 \"\"", "put -500 false", "put 1025 false",
          "put 24 false",  "put 23 false",   "put 1013 true",
          "put 1014 true", "put 1015 true",  "put 1062 true",
          "put 1069 true", "put 1108 false", "put 27 false",
          "put 29 false",  "put 1021 false", "put 1026 \"" + path + "\""};
}

// A saver on scripted services whose play list holds the given paths; the
// exit routine only counts its calls.
struct Saver {
  explicit Saver(const QStringList& paths) {
    program.state.PlayCount = static_cast<std::int16_t>(paths.size());
    for (int i = 0; i < paths.size(); ++i)
      program.state.PlayList[i + 1] = paths[i];
    program.state.random.startFrom(7);
    canvas.setExitRoutine([this](Program&, platform::Player&, QWidget&) { ++exits; });
  }

  void activate() {
    QEvent activation(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&canvas, &activation);
  }
  QString playing() const {
    return program.state.PlayList[program.state.PlayOrder[program.state.PlayPos]];
  }

  ScriptedPlatform desktop;
  Program program{desktop.platform, windows()};
  Canvas& canvas = static_cast<Canvas&>(program.windows.canvas());
  ScriptedPlayer& player = *desktop.player;
  int exits = 0;
};

const QStringList kThree = {"/clips/a.mpg", "/clips/b.avi", "/clips/c.mov"};

}  // namespace

TEST(Canvas, ActivationCoversTheScreenHidesThePointerThenLoadsTheFirstFile) {
  Saver saver(kThree);
  saver.desktop.desktop.cursorCount = 2;  // shown more often than hidden
  saver.canvas.player().setGeometry(5, 5, 10, 10);
  QStringList seenWhileEventsRan;
  saver.desktop.desktop.onLetEventsRun = [&] {
    seenWhileEventsRan = saver.desktop.desktop.placements;
    seenWhileEventsRan << QString::number(saver.desktop.desktop.cursorCount)
                       << QString::number(saver.player.calls.size());
    EXPECT_EQ(saver.canvas.geometry(), QRect(0, 0, 1024, 768));
    EXPECT_EQ(saver.canvas.player().geometry(), QRect(0, 0, 1024, 768));
  };
  saver.activate();

  EXPECT_EQ(seenWhileEventsRan, QStringList({"topmost Reelvista", "top Reelvista", "-1", "0"}));
  EXPECT_EQ(saver.desktop.desktop.eventRuns, 1);
  EXPECT_EQ(saver.program.state.PlayPos, 1);
  EXPECT_EQ(saver.player.takeCalls(), loadCalls(saver.playing()));
  EXPECT_FALSE(saver.program.state.MovieReady);
  ASSERT_TRUE(saver.program.windows.isWinSeekLoaded()) << "the scan window is loaded hidden";
  EXPECT_FALSE(saver.program.windows.winSeek().isVisible());
  EXPECT_TRUE(saver.canvas.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(saver.canvas.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(saver.canvas.palette().color(QPalette::Window), QColor(Qt::black));
  const QImage pointer = saver.canvas.cursor().pixmap().toImage();
  EXPECT_EQ(pointer.size(), QSize(32, 32));
  EXPECT_EQ(pointer.pixelColor(16, 16).alpha(), 0);
  EXPECT_EQ(saver.exits, 0);
}

TEST(Canvas, ReadyStartsPlayAndASoundOnlyFileGoesBelowTheWindowUntilTheNext) {
  Saver saver(kThree);
  saver.activate();
  saver.player.takeCalls();

  saver.player.raiseReadyState(3);
  EXPECT_TRUE(saver.player.calls.isEmpty());
  EXPECT_FALSE(saver.program.state.MovieReady);

  saver.player.values[1001] = 320;
  saver.player.values[1002] = 240;
  saver.player.raiseReadyState(4);
  EXPECT_EQ(saver.player.takeCalls(), QStringList({"invoke 2001", "get 1001", "get 1002"}));
  EXPECT_TRUE(saver.program.state.MovieReady);
  EXPECT_EQ(saver.canvas.player().geometry(), QRect(0, 0, 1024, 768));

  saver.player.raisePlayState(2, 0);
  EXPECT_EQ(saver.player.takeCalls(), loadCalls(saver.playing()));
  saver.player.values[1001] = 0;
  saver.player.values[1002] = 0;
  saver.player.raiseReadyState(4);
  EXPECT_EQ(saver.canvas.player().geometry(), QRect(0, 769, 1024, 768)) << "just below";

  saver.player.raisePlayState(2, 0);
  EXPECT_EQ(saver.canvas.player().geometry(), QRect(0, 0, 1024, 768)) << "back for the next";
  EXPECT_EQ(saver.program.state.PlayPos, 3);
}

TEST(Canvas, OnlyAStopFromPlayingTheReadyFileAdvancesAndAPauseExits) {
  Saver saver(kThree);
  saver.activate();
  saver.player.takeCalls();

  saver.player.raisePlayState(2, 0);  // the file has not reported ready yet
  for (auto [from, to] : {std::pair{0, 2}, {1, 0}, {0, 1}, {1, 2}, {2, 3}}) {
    saver.program.state.MovieReady = true;
    saver.player.raisePlayState(from, to);
  }
  EXPECT_TRUE(saver.player.calls.isEmpty());
  EXPECT_EQ(saver.program.state.PlayPos, 1);
  EXPECT_EQ(saver.exits, 0);

  saver.player.raisePlayState(2, 0);
  EXPECT_EQ(saver.program.state.PlayPos, 2);
  EXPECT_EQ(saver.player.takeCalls(), loadCalls(saver.playing()));

  saver.player.raisePlayState(2, 1);
  EXPECT_EQ(saver.exits, 1);
  EXPECT_TRUE(saver.player.calls.isEmpty());
}

TEST(Canvas, KeysButtonsAndFocusLossCallTheExitRoutineButMovingTheMouseDoesNot) {
  Saver saver(kThree);
  saver.activate();
  QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&saver.canvas, &move);
  EXPECT_EQ(saver.exits, 0);

  saver.player.raiseKeyDown();
  saver.player.raiseMouseDown();
  saver.player.raiseLostFocus();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&saver.canvas, &press);
  EXPECT_EQ(saver.exits, 4);

  // A request to close the window counts as a sign of the user, and the
  // window stays: only the exit routine ends the saver.
  saver.canvas.show();
  EXPECT_FALSE(saver.canvas.close());
  EXPECT_EQ(saver.exits, 5);
  EXPECT_TRUE(saver.canvas.isVisible());
}

TEST(Canvas, WhileTheExitRoutineRunsInputAndPlayStatesAreIgnoredButReadyIsNot) {
  Saver saver(kThree);
  saver.activate();
  saver.player.takeCalls();
  saver.program.state.Exiting = true;
  saver.program.state.MovieReady = true;
  saver.player.raiseKeyDown();
  saver.player.raiseMouseDown();
  saver.player.raiseLostFocus();
  saver.canvas.Form_MouseDown();
  saver.player.raisePlayState(2, 1);
  saver.player.raisePlayState(2, 0);
  EXPECT_EQ(saver.exits, 0);
  EXPECT_TRUE(saver.player.calls.isEmpty());

  saver.player.raiseReadyState(4);
  EXPECT_EQ(saver.player.takeCalls(), QStringList({"invoke 2001", "get 1001", "get 1002"}));
}

TEST(Canvas, EveryActivationReshufflesAndLoadsTheNextPosition) {
  Saver saver(kThree);
  saver.activate();
  const auto firstOrder = saver.program.state.PlayOrder;
  saver.player.takeCalls();
  saver.program.state.MovieReady = true;

  saver.activate();
  EXPECT_EQ(saver.program.state.PlayPos, 2);
  EXPECT_FALSE(saver.program.state.MovieReady);
  EXPECT_NE(saver.program.state.PlayOrder, firstOrder) << "start 7 draws another order";
  EXPECT_EQ(saver.player.takeCalls(), loadCalls(saver.playing()));
  EXPECT_EQ(saver.desktop.desktop.eventRuns, 2);
}

TEST(Canvas, AnEmptyPlayListLoadsTheEmptyPathAndWaits) {
  Saver saver({});
  saver.activate();
  EXPECT_EQ(saver.player.takeCalls(), loadCalls(""));
  saver.player.raisePlayState(2, 0);
  EXPECT_TRUE(saver.player.calls.isEmpty());
}

TEST(Canvas, ShownItActivatesItselfFullScreenAndLetsTheSleepLockGo) {
  int lock[2];
  ASSERT_EQ(::pipe(lock), 0);
  qputenv("XSS_SLEEP_LOCK_FD", QByteArray::number(lock[1]));
  Saver saver(kThree);
  saver.desktop.desktop.screen = QGuiApplication::primaryScreen()->geometry().size();
  saver.canvas.show();
  const QDeadlineTimer deadline(5000);
  while (saver.player.calls.isEmpty() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(saver.player.takeCalls(), loadCalls(saver.playing()));
  EXPECT_EQ(saver.canvas.geometry(), QRect(QPoint(0, 0), saver.desktop.desktop.screen));
  EXPECT_TRUE(saver.canvas.player().hasFocus());

  char byte;
  EXPECT_EQ(::read(lock[0], &byte, 1), 0) << "the write end is closed";
  EXPECT_FALSE(qEnvironmentVariableIsSet("XSS_SLEEP_LOCK_FD"));
  EXPECT_EQ(saver.desktop.guard.sent,
            (QStringList{QStringLiteral("covered %1").arg(saver.canvas.winId()),
                         "input to " + saver.canvas.objectName()}))
      << "covered, it takes the keys of a locked run";
  ::close(lock[0]);
}

TEST(Canvas, LosingTheFocusIsASignOfTheUserTheWindowGoingAwayIsNot) {
  int exits = 0;
  auto saver = std::make_unique<Saver>(kThree);
  saver->canvas.setExitRoutine([&exits](Program&, platform::Player&, QWidget&) { ++exits; });
  saver->canvas.show();
  const QDeadlineTimer deadline(5000);
  while (!saver->canvas.player().hasFocus() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_TRUE(saver->canvas.player().hasFocus());
  QWidget other;
  other.show();
  other.activateWindow();
  while (saver->canvas.player().hasFocus() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(exits, 1) << "another window taking the focus";

  saver->canvas.activateWindow();
  while (!saver->canvas.player().hasFocus() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_TRUE(saver->canvas.player().hasFocus());
  saver.reset();
  EXPECT_EQ(exits, 1) << "the window going away is no sign of the user";
}
