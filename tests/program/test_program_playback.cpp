// The built saver playing real clips full-screen under Xvfb.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QImage>
#include <QRegularExpression>

#include "support/media.h"
#include "support/program_run.h"
#include "support/screen.h"
#include "support/wait.h"

namespace {

// The colour filling a screenshot: 'r', 'g', 'b', 'k' (black) or '?' when
// the middle and the corners disagree (not full-screen) or it is none of
// these.
char fillColour(const QImage& shot) {
  const QPoint points[] = {{shot.width() / 2, shot.height() / 2},
                           {4, 4},
                           {shot.width() - 5, 4},
                           {4, shot.height() - 5},
                           {shot.width() - 5, shot.height() - 5}};
  char found = 0;
  for (const QPoint& point : points) {
    const QColor c = shot.pixelColor(point);
    char here = '?';
    if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
      here = 'r';
    else if (c.green() > 100 && c.red() < 60 && c.blue() < 60)
      here = 'g';
    else if (c.blue() > 200 && c.red() < 60 && c.green() < 60)
      here = 'b';
    else if (c.red() < 20 && c.green() < 20 && c.blue() < 20)
      here = 'k';
    if (found && found != here)
      return '?';
    found = here;
  }
  return found;
}

// Colours in the order they filled the screen, each run of one colour once,
// black gaps and frames caught half drawn left out.
QString runsOf(const QString& colours) {
  QString runs;
  for (QChar colour : colours) {
    if (colour != 'k' && colour != '?' && (runs.isEmpty() || runs.back() != colour))
      runs += colour;
  }
  return runs;
}

}  // namespace

TEST(ProgramPlayback, PlaysTheListFullScreenPassAfterPassUntilEnded) {
  if (!haveDisplay())
    GTEST_SKIP() << "needs an X display; ./x test provides one";
  ProgramRun saver;
  const TempFolder& folder = saver.folder();
  QByteArray settings = "\r\n*.MPG\r\n";
  for (const auto& [name, colour] :
       {std::pair{"red.mpg", Qt::red}, {"green.mpg", Qt::green}, {"blue.mpg", Qt::blue}}) {
    media::makeVideo(folder / name, {160, 90}, 1.5, colour);
    settings += (folder / name).toUtf8() + "\r\n";
  }
  saver.writeSettingsFile(settings);
  saver.start({"/S"});
  ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());

  // Two passes and more, five frames a second.
  const QString shots = folder / "shots";
  QDir().mkpath(shots);
  media::runFfmpeg({"-f", "x11grab", "-framerate", "5", "-t", "12", "-i",
                    qEnvironmentVariable("DISPLAY"), shots + "/%03d.png"});
  QString colours;
  for (const QString& name : QDir(shots).entryList({"*.png"}, QDir::Files, QDir::Name))
    colours += fillColour(QImage(shots + "/" + name));
  const QString runs = runsOf(colours);
  SCOPED_TRACE(colours.toStdString());
  // The player draws without waiting for the screen's refresh, so a grab
  // may catch one frame half drawn where one clip gives way to the next, or
  // the very first one as the window and its first clip come up; anywhere
  // else every frame is one colour from edge to edge.
  static const QRegularExpression halfDrawn("(^|(?<=[rgbk]))\\?(?=[rgbk])");
  EXPECT_FALSE(QString(colours).remove(halfDrawn).contains('?'))
      << "every frame is one colour from edge to edge";
  // Two passes of three clips make six runs, or five where the second pass
  // starts with the clip that ended the first. The first pass is the first
  // three runs: a repeat can only happen where one pass meets the next.
  ASSERT_GE(runs.size(), 5) << "two passes of three clips";
  QString firstPass = runs.left(3);
  std::sort(firstPass.begin(), firstPass.end());
  EXPECT_EQ(firstPass, "bgr");

  ProgramRun::xdotool({"mousemove", "200", "200"});
  ProgramRun::xdotool({"mousemove", "900", "500"});
  EXPECT_FALSE(saver.waitForExit(1000).has_value()) << "moving the mouse does not end it";
  EXPECT_TRUE(waitUntil([] { return QString("rgb").contains(fillColour(screen::grab())); }, 5000))
      << "a clip still fills the screen";

  // An idle daemon ends it with SIGTERM.
  ASSERT_EQ(::kill(static_cast<pid_t>(saver.processId()), SIGTERM), 0);
  EXPECT_EQ(saver.waitForExit(3000), 0);
}

TEST(ProgramPlayback, FilesThatAreNoMediaLeaveTheScreenBlackAndTheSaverAnswering) {
  if (!haveDisplay())
    GTEST_SKIP() << "needs an X display; ./x test provides one";
  ProgramRun saver;
  const TempFolder& folder = saver.folder();
  folder.write("words.mpg", "not a picture in sight\n");
  folder.write("empty.mpg", "");
  folder.write("folder.mpg/inside.txt", "a folder named like a clip");
  QByteArray settings = "\r\n*.MPG\r\n\r\n";
  for (const char* name : {"missing.mpg", "words.mpg", "empty.mpg", "folder.mpg"})
    settings += (folder / name).toUtf8() + "\r\n";
  saver.writeSettingsFile(settings);
  saver.start({"/S"});
  ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());
  EXPECT_FALSE(saver.waitForExit(2000).has_value());
  EXPECT_EQ(fillColour(screen::grab()), 'k');

  ProgramRun::xdotool({"key", "space"});
  EXPECT_EQ(saver.waitForExit(5000), 0) << "a key still ends it";
}
