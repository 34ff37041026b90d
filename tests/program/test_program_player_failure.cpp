// The built saver under Xvfb with its player process killed, crashed and
// stopped on purpose, and fed damaged media.
#include <gtest/gtest.h>
#include <signal.h>
#include <xcb/xcb.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/lock/pam_check.h"
#include "support/host_display.h"
#include "support/media.h"
#include "support/pam_matrix.h"
#include "support/program_run.h"
#include "support/screen.h"
#include "support/wait.h"

namespace {

// mpv answers within this or is replaced; a little more for a loaded machine.
constexpr int kHungMs = 5000 + 5000;

// The mpv process the saver started, 0 when there is none.
qint64 playerOf(qint64 saver) {
  return mpvChildrenOf(saver).value(0, 0);
}

// 'k' when the middle of the screen is black, 'c' when a clip's colour.
char middleOf(const ProgramRun& saver) {
  const QImage shot(saver.screenshot("now"));
  const QColor middle = shot.pixelColor(shot.width() / 2, shot.height() / 2);
  if (middle.red() < 20 && middle.green() < 20 && middle.blue() < 20)
    return 'k';
  return std::max({middle.red(), middle.green(), middle.blue()}) > 200 ? 'c' : '?';
}

const QColor kDesktop(Qt::magenta);

// The saver's window lies over every corner of the screen: the desktop
// shows in none of them (a damaged clip may draw anything in the window).
bool coversTheScreen() {
  const QImage whole = screen::grab();
  const QSize corner(8, 8);
  const QPoint corners[] = {{0, 0},
                            {whole.width() - corner.width(), 0},
                            {0, whole.height() - corner.height()},
                            {whole.width() - corner.width(), whole.height() - corner.height()}};
  return std::all_of(std::begin(corners), std::end(corners), [&](const QPoint& at) {
    return screen::shareOf(whole.copy(QRect(at, corner)), kDesktop) < 0.5;
  });
}

// True when another client on the display can take the keyboard.
bool keyboardFree() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  auto* reply = xcb_grab_keyboard_reply(connection,
                                        xcb_grab_keyboard(connection, 0, root, XCB_CURRENT_TIME,
                                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                        nullptr);
  const bool free = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
  std::free(reply);
  xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
  xcb_disconnect(connection);
  return free;
}

class ProgramPlayerFailure : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    QByteArray settings = "\r\n*.MPG\r\n";
    for (const auto& [name, colour] :
         {std::pair{"red.mpg", Qt::red}, {"green.mpg", Qt::green}, {"blue.mpg", Qt::blue}}) {
      settings += media::makeVideo(saver.folder() / name, {160, 90}, 60, colour).toUtf8() + "\r\n";
    }
    saver.writeSettingsFile(settings);
  }

  // Starts the saver and returns once a clip fills the screen.
  void startPlaying() {
    saver.start({"/S"});
    ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());
    ASSERT_TRUE(waitUntil([&] { return middleOf(saver) == 'c'; }, 15000));
  }

  qint64 player() {
    qint64 pid = 0;
    waitUntil([&] { return (pid = playerOf(saver.saverProcessId())) != 0; }, 10000);
    return pid;
  }

  bool running() { return !saver.waitForExit(0).has_value(); }

  ProgramRun saver;
};

}  // namespace

TEST_F(ProgramPlayerFailure, APlayerKilledOrStoppedWhilePlayingGivesWayToTheNextFile) {
  startPlaying();
  for (const int signal : {SIGSEGV, SIGKILL, SIGSTOP}) {
    const qint64 before = player();
    ASSERT_GT(before, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(before), signal), 0);
    qint64 after = 0;
    EXPECT_TRUE(
        waitUntil([&] { return (after = playerOf(saver.saverProcessId())) != before; }, kHungMs))
        << signal;
    ASSERT_TRUE(running()) << signal;
    EXPECT_TRUE(
        waitUntil([&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(before)); }, 3000))
        << "reaped, " << signal;
    EXPECT_TRUE(waitUntil([&] { return middleOf(saver) == 'c'; }, 15000))
        << "the next file plays, " << signal;
  }
  ProgramRun::xdotool({"key", "x"});
  EXPECT_EQ(saver.waitForExit(10000), 0);
}

// A file that was still opening never becomes ready: the screen stays black
// until a key, as for any file that does not play.
TEST_F(ProgramPlayerFailure, APlayerKilledWhileOpeningLeavesTheScreenBlackUntilAKey) {
  for (const int signal : {SIGSEGV, SIGKILL, SIGSTOP}) {
    ProgramRun run;
    run.writeSettingsFile(saver.settingsFile());
    run.start({"/S"});
    // Stopped as soon as it is there, before it can open anything.
    qint64 pid = 0;
    ASSERT_TRUE(waitUntil([&] { return (pid = playerOf(run.saverProcessId())) != 0; }, 15000));
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGSTOP), 0);
    ASSERT_FALSE(run.waitForWindow("Reelvista", 15000).isEmpty());
    QThread::msleep(500);  // the file asked for
    if (signal != SIGSTOP) {
      ::kill(static_cast<pid_t>(pid), signal);
      ::kill(static_cast<pid_t>(pid), SIGCONT);
    }
    EXPECT_TRUE(
        waitUntil([&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); }, kHungMs))
        << signal;
    EXPECT_FALSE(run.waitForExit(1500).has_value()) << signal;
    EXPECT_EQ(middleOf(run), 'k') << signal;
    ProgramRun::xdotool({"key", "x"});
    EXPECT_EQ(run.waitForExit(10000), 0) << signal;
  }
}

TEST_F(ProgramPlayerFailure, WithThePasswordOnTheGrabHoldsWhenThePlayerDies) {
  if (const QString why = PamMatrix::unavailable(); !why.isEmpty())
    GTEST_SKIP() << why.toStdString();
  const PamMatrix pam(platform::currentUserName() + ":open sesame:reelvista\n");
  saver.requirePassword(pam);
  startPlaying();
  ASSERT_FALSE(keyboardFree());
  const qint64 before = player();
  ASSERT_GT(before, 0);  // kill(0) would end the test's own process group
  ASSERT_EQ(::kill(static_cast<pid_t>(before), SIGKILL), 0);
  ASSERT_TRUE(waitUntil([&] { return playerOf(saver.saverProcessId()) != before; }, kHungMs));
  EXPECT_FALSE(keyboardFree()) << "the grab still holds";
  EXPECT_TRUE(waitUntil([&] { return middleOf(saver) == 'c'; }, 15000));

  QString prompt;
  for (int press = 0; press < 3 && prompt.isEmpty(); ++press) {
    ProgramRun::xdotool({"key", "x"});
    prompt = saver.waitForWindow("Reelvista password", 3000);
  }
  ASSERT_FALSE(prompt.isEmpty());
  ASSERT_TRUE(ProgramRun::waitForFocus(prompt, 5000));
  ProgramRun::xdotool({"type", "--delay", "30", "open sesame"});
  ProgramRun::xdotool({"key", "Return"});
  EXPECT_EQ(saver.waitForExit(10000), 0);
}

// Damaged files of every kind the saver looks for by default: cut short,
// with bytes flipped, with the header overwritten. The saver plays through
// them, or stays on a black screen, and always answers a key.
TEST_F(ProgramPlayerFailure, DamagedMediaNeverEndsTheSaver) {
  const screen::DesktopColour desktop(kDesktop);
  const TempFolder& folder = saver.folder();
  QByteArray settings = "\r\n*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM\r\n";
  const QStringList kinds{"avi", "mov", "qt", "mpg", "mp3", "ra", "rm"};
  for (const QString& kind : kinds) {
    const QString whole = folder / ("whole." + kind);
    if (kind == "mp3" || kind == "ra")
      media::runFfmpeg({"-f", "lavfi", "-i", "sine=d=2", "-f", kind == "ra" ? "rm" : "mp3", whole});
    else if (kind == "rm")
      media::runFfmpeg(
          {"-f", "lavfi", "-i", "testsrc=s=64x48:d=2", "-c:v", "rv10", "-f", "rm", whole});
    else if (kind == "qt")
      media::runFfmpeg({"-f", "lavfi", "-i", "testsrc=s=64x48:d=2", "-f", "mov", whole});
    else
      media::makeVideo(whole, {64, 48}, 2);
    QFile file(whole);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << kind.toStdString();
    const QByteArray bytes = file.readAll();
    QByteArray flipped = bytes;
    for (qsizetype i = 37; i < flipped.size(); i += 101)
      flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
    QByteArray mangled = bytes;
    mangled.replace(0, 64, QByteArray(64, '\xff'));
    const QByteArray cut = bytes.left(bytes.size() / 3);
    for (const auto& [name, damaged] :
         {std::pair{"cut", cut}, {"flipped", flipped}, {"mangled", mangled}}) {
      settings += folder.write(QStringLiteral("%1.%2").arg(name, kind), damaged).toUtf8() + "\r\n";
    }
  }
  saver.writeSettingsFile(settings);
  saver.start({"/S"});
  ASSERT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());
  QThread::msleep(8000);
  ASSERT_TRUE(running());
  EXPECT_TRUE(coversTheScreen()) << "the desktop shows nowhere";
  ProgramRun::xdotool({"key", "x"});
  EXPECT_EQ(saver.waitForExit(10000), 0);
}
