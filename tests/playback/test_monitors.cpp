// The playback windows of several monitors, on the scripted desktop: where
// they go, which is heard, and how they follow monitors that come and go.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>

#include "platform/scripted/scripted_platform.h"
#include "playback/canvas.h"
#include "playback/monitors.h"
#include "startup/program.h"
#include "support/qt_printers.h"

using platform::Monitor;
using platform::scripted::ScriptedPlatform;
using platform::scripted::ScriptedPlayer;

namespace {

bool waitFor(const std::function<bool()>& condition) {
  const QDeadlineTimer deadline(5000);
  while (!condition() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return condition();
}

// Let the burst of monitor changes settle and the windows follow.
void settle() {
  const QDeadlineTimer deadline(400);
  while (!deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

ScriptedPlayer& playerOf(Canvas* canvas) {
  return static_cast<ScriptedPlayer&>(canvas->player());
}

const QRect kLeft(0, 0, 640, 480);
const QRect kRight(640, 0, 800, 600);

}  // namespace

TEST(Monitors, EachMonitorPlaysInPlaceThePrimaryIsHeardAndChangesWaitForThePrompt) {
  ScriptedPlatform desktop;
  desktop.desktop.monitorList = {{kRight, true}, {kLeft, false}};
  Program program(desktop.platform,
                  {.setup = {},
                   .winSeek = [](Program&) { return std::make_unique<QWidget>(); },
                   .canvas = [](Program& run) { return std::make_unique<Canvas>(run); }});
  program.state.PlayCount = 3;
  for (int slot = 1; slot <= 3; ++slot)
    program.state.PlayList[slot] = QStringLiteral("/clips/%1.mpg").arg(slot);
  auto& first = static_cast<Canvas&>(program.windows.canvas());
  int exits = 0;
  first.setExitRoutine([&](Program&, platform::Player&, QWidget&) { ++exits; });
  first.show();
  Monitors& monitors = *first.monitors();
  ASSERT_TRUE(waitFor(
      [&] { return monitors.canvases().size() == 2 && monitors.canvases()[1]->isPlaying(); }));
  // (Qt's offscreen platform sizes a full-screen window to its one screen
  // and activates every window shown: the whole-program test looks at
  // places and the focus.)
  const std::vector<Canvas*> both = monitors.canvases();
  EXPECT_EQ(both[0]->monitor(), kRight) << "the primary, not at (0, 0)";
  EXPECT_EQ(both[1]->monitor(), kLeft);
  EXPECT_TRUE(playerOf(both[0]).heard);
  EXPECT_FALSE(playerOf(both[1]).heard);
  EXPECT_NE(playerOf(both[0]).calls.last(), playerOf(both[1]).calls.last()) << "a clip each";
  const int exitsBefore = exits;
  playerOf(both[1]).raiseKeyDown();
  EXPECT_EQ(exits, exitsBefore + 1) << "a key on the other monitor";

  // While the prompt is open nothing is taken away from under it.
  program.state.Exiting = true;
  desktop.desktop.changeMonitors({{kLeft, true}});
  settle();
  EXPECT_EQ(monitors.canvases().size(), 2U);
  program.state.Exiting = false;
  ASSERT_TRUE(waitFor([&] { return monitors.canvases().size() == 1; }));
  EXPECT_EQ(first.monitor(), kLeft) << "the first window takes the place of the one that went";
  EXPECT_TRUE(playerOf(&first).heard);

  const qsizetype callsBefore = playerOf(&first).calls.size();
  desktop.desktop.changeMonitors({{kRight, true}, {kLeft, false}});
  ASSERT_TRUE(waitFor([&] { return monitors.canvases().size() == 2; }));
  EXPECT_FALSE(playerOf(&first).heard) << "the sound follows the primary";
  const QString fileName = QStringLiteral("put %1 \"/clips/").arg(int(platform::Dispid::FileName));
  EXPECT_TRUE(playerOf(&first).calls.mid(callsBefore).join('\n').contains(fileName))
      << "and the player that lost it moves on, not holding a sound output muted";
  EXPECT_TRUE(playerOf(monitors.canvases()[1]).heard);
  EXPECT_TRUE(monitors.canvases()[1]->isPlaying());
}
