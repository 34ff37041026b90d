// The built saver under the compositing managers people run, each on an
// Xvfb of its own started as a desktop starts it: the whole screen is read
// many times a second and no look may show a pixel of the desktop (a
// playing window of its own colour) from the first black frame on, locked
// or not; the clip plays, the prompt is drawn as with no compositor, the
// password ends the run, and a notification never shows over the lock.
#include <gtest/gtest.h>
#include <signal.h>
#include <xcb/xcb.h>

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "platform/lock/compositing.h"
#include "platform/lock/pam_check.h"
#include "support/lock_steps.h"
#include "support/media.h"
#include "support/own_x_server.h"
#include "support/pam_matrix.h"
#include "support/program_run.h"
#include "support/screen.h"
#include "support/screen_probe.h"
#include "support/temp_folder.h"
#include "support/wait.h"

namespace {

// The desktop is green; nothing the saver shows is.
const QColor kDesktop(0x21, 0xc4, 0x37);
const QColor kClip = Qt::red;
constexpr int kStartMs = 30000;
// Where the notification daemons show a notice by default.
const QRect kCorner(320, 0, 320, 200);

struct Desk {
  const char* name;
  QStringList compositor;    // empty: none
  QString notifier;          // a notification daemon to try while locked, or none
  bool whileLocked = false;  // the compositor comes and goes while locked
};

// Green and nothing else, straight from the image's lines: a look at the
// whole screen must take well under 40 ms on a loaded machine.
bool showsDesktop(const QImage& look) {
  for (int y = 0; y < look.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(look.constScanLine(y));
    for (int x = 0; x < look.width(); ++x) {
      const int green = qGreen(line[x]);
      if (green > qRed(line[x]) + 50 && green > qBlue(line[x]) + 50)
        return true;
    }
  }
  return false;
}

// Not black and not the clip: something else than the saver's playback.
bool foreignPixel(const QColor& pixel) {
  const auto near = [&](const QColor& colour) {
    return std::abs(pixel.red() - colour.red()) < 60 &&
           std::abs(pixel.green() - colour.green()) < 60 &&
           std::abs(pixel.blue() - colour.blue()) < 60;
  };
  return !near(Qt::black) && !near(kClip);
}

// Reads the whole screen over and over on a thread of its own and counts
// the looks that show the desktop, from the first that does not once the
// saver's first window is up (a compositor may show a black frame of its
// own before).
class ScreenWatch {
 public:
  ScreenWatch() : thread_([this] { run(); }) {}
  ~ScreenWatch() { stop(); }
  ScreenWatch(const ScreenWatch&) = delete;
  ScreenWatch& operator=(const ScreenWatch&) = delete;

  // While on, the corner where notifications show is watched for anything
  // but the clip and black too.
  void watchCorner(bool on) { corner_ = on; }
  void arm() { armed_ = true; }
  bool covered() const { return covered_; }
  void stop() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  int looks() const { return looks_; }
  int leaks() const { return leaks_; }
  double lookRate() const { return looks_ * 1000.0 / std::max<qint64>(1, watched_); }
  const QImage& firstLeak() const { return firstLeak_; }

 private:
  void run() {
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> x(
        xcb_connect(nullptr, nullptr), &xcb_disconnect);
    QElapsedTimer clock;
    while (!stop_) {
      // About a hundred looks a second: more would take the processor from
      // what is looked at.
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const QImage look = screen::grab(x.get());
      const bool desktop = showsDesktop(look);
      if (armed_ && !covered_ && !desktop && !look.isNull()) {
        covered_ = true;
        clock.start();
      }
      if (!covered_)
        continue;
      ++looks_;
      const bool foreign = corner_ && screen::shareOf(look.copy(kCorner), foreignPixel) > 0;
      if (desktop || foreign) {
        if (leaks_++ == 0) {
          firstLeak_ = look;
        }
      }
      watched_ = clock.elapsed();
    }
  }

  std::atomic<bool> stop_{false};
  std::atomic<bool> armed_{false};
  std::atomic<bool> covered_{false};
  std::atomic<bool> corner_{false};
  std::atomic<int> looks_{0};
  std::atomic<int> leaks_{0};
  std::atomic<qint64> watched_{0};
  QImage firstLeak_;
  std::thread thread_;
};

// A desktop as a person's session has it: its own session bus, settings
// and programs, all ended with it.
class Desktop {
 public:
  explicit Desktop(const Desk& desk) {
    environment_.insert("DISPLAY", xvfb_.display());
    environment_.insert("HOME", home_.path());
    environment_.insert("XDG_CONFIG_HOME", home_ / "config");
    environment_.insert("XDG_RUNTIME_DIR", home_.path());
    environment_.insert("GSETTINGS_BACKEND", "memory");
    environment_.insert("LIBGL_ALWAYS_SOFTWARE", "1");
    startBus();
    // The desktop: a window of its colour over all of it, redrawn 25 times
    // a second, as the window in use when the saver starts. Not a full-screen
    // one: a player showing a film holds the saver off.
    start({"ffplay", "-loglevel", "quiet", "-noborder", "-left", "0", "-top", "0", "-an", "-f",
           "lavfi", "-i", "color=c=0x21c437:s=640x480:r=25"});
    if (!desk.compositor.isEmpty() && !desk.whileLocked)
      start(desk.compositor);
  }
  ~Desktop() {
    for (auto& program : programs_) {
      program->terminate();
      if (!program->waitForFinished(3000))
        program->kill();
      program->waitForFinished(2000);
    }
  }
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  const QProcessEnvironment& environment() const { return environment_; }
  QProcess& start(const QStringList& command) {
    programs_.push_back(std::make_unique<QProcess>());
    QProcess& program = *programs_.back();
    program.setProcessEnvironment(environment_);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    program.start(command.front(), command.mid(1));
    return program;
  }
  // Waits for a program that does its work and ends (notify-send).
  bool run(const QStringList& command) {
    QProcess& program = start(command);
    return program.waitForFinished(10000) && program.exitCode() == 0;
  }

 private:
  // A session bus of the desktop's own, which kwin and the notification
  // daemons need.
  void startBus() {
    programs_.push_back(std::make_unique<QProcess>());
    QProcess& bus = *programs_.back();
    bus.setProcessEnvironment(environment_);
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    waitUntil([&] { return bus.waitForReadyRead(100) && bus.canReadLine(); }, 10000);
    environment_.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus.readLine()).trimmed());
  }

  OwnXServer xvfb_{"Xvfb", {"-screen", "0", "640x480x24", "-noreset", "-nolisten", "tcp"}};
  TempFolder home_;
  QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
  std::vector<std::unique_ptr<QProcess>> programs_;
};

bool compositorRuns() {
  const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> x(
      xcb_connect(nullptr, nullptr), &xcb_disconnect);
  return platform::CompositingManager(x.get(),
                                      xcb_setup_roots_iterator(xcb_get_setup(x.get())).data)
      .runs();
}

double shareAtMiddle(const QColor& colour) {
  return screen::shareOf(screen::grab(QRect(300, 220, 40, 40)), colour);
}

// The prompt as drawn with no compositor, from the first case.
QImage& promptWithoutCompositor() {
  static QImage prompt;
  return prompt;
}

// The share of pixels that differ clearly between two images of a size.
double differing(const QImage& a, const QImage& b) {
  if (a.size() != b.size())
    return 1;
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QColor p = a.pixelColor(x, y);
      const QColor q = b.pixelColor(x, y);
      count += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                   std::abs(p.blue() - q.blue()) >
               60;
    }
  }
  return double(count) / (a.width() * a.height());
}

class ProgramCompositors : public testing::TestWithParam<Desk> {
 protected:
  void SetUp() override {
    if (const QString why = whyTheLockCannotBeTried(); !why.isEmpty())
      GTEST_SKIP() << why.toStdString();
    desktop_.emplace(GetParam());
    ASSERT_TRUE(waitUntil([] { return shareAtMiddle(kDesktop) > 0.9; }, kStartMs))
        << "the desktop shows";
    if (!GetParam().compositor.isEmpty() && !GetParam().whileLocked) {
      ASSERT_TRUE(waitUntil(compositorRuns, kStartMs)) << GetParam().name << " composites";
    }
  }

  void startSaver(bool locked) {
    saver_.emplace();
    saver_->writeSettingsFile(
        "\r\n*.MPG\r\n" +
        media::makeVideo(saver_->folder() / "red.mpg", {160, 120}, 2.0, kClip).toUtf8() + "\r\n" +
        media::makeVideo(saver_->folder() / "red2.mpg", {160, 120}, 2.0, kClip).toUtf8() + "\r\n");
    if (locked)
      saver_->requirePassword(pam_);
    saver_->start({"/S"});
  }

  void expectNoLeak(const ScreenWatch& watch, const char* phase) {
    std::cout << GetParam().name << " " << phase << ": " << watch.looks() << " looks at "
              << int(watch.lookRate()) << " a second, " << watch.leaks() << " showed the desktop\n";
    EXPECT_GE(watch.lookRate(), 25) << phase;
    EXPECT_EQ(watch.leaks(), 0) << phase << ": "
                                << ProgramRun::screenshot(
                                       QStringLiteral("leak-%1-%2").arg(GetParam().name, phase),
                                       saver_->folder().path())
                                       .toStdString();
    if (watch.leaks() > 0) {
      const QString folder = qEnvironmentVariable("REELVISTA_SCREENSHOTS", saver_->folder().path());
      watch.firstLeak().save(folder +
                             QStringLiteral("/first-leak-%1-%2.png").arg(GetParam().name, phase));
    }
  }

  const PamMatrix pam_{platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n"};
  std::optional<Desktop> desktop_;
  std::optional<ProgramRun> saver_;
};

}  // namespace

TEST_P(ProgramCompositors, LockedNothingOfTheDesktopShowsAndThePromptIsDrawn) {
  const Desk& desk = GetParam();
  if (!desk.notifier.isEmpty()) {
    // The daemon works: its notice shows over the desktop.
    desktop_->start({desk.notifier});
    ASSERT_TRUE(desktop_->run({"notify-send", "A notice", "before the lock"}));
    ASSERT_TRUE(
        waitUntil([] { return screen::shareOf(screen::grab(kCorner), kDesktop) < 0.95; }, kStartMs))
        << "the notice shows";
  }
  ScreenWatch watch;
  startSaver(true);
  // The guard takes the keyboard, then shows its black window.
  ASSERT_TRUE(waitForBothGrabsHeldElsewhere(kStartMs));
  watch.arm();
  ASSERT_TRUE(waitUntil([&] { return shareAtMiddle(kClip) > 0.9; }, kStartMs)) << "the clip plays";
  // Across a change of clips.
  QThread::msleep(2500);
  ASSERT_TRUE(watch.covered());
  if (desk.whileLocked) {
    // The guard held up as the compositor starts and paints its first
    // frames: what it left on the screen keeps the desktop out by itself.
    const auto guard = static_cast<pid_t>(saver_->processId());
    ASSERT_EQ(::kill(guard, SIGSTOP), 0);
    QProcess& compositor = desktop_->start(desk.compositor);
    const bool came = waitUntil(compositorRuns, kStartMs);
    QThread::msleep(1000);
    ASSERT_EQ(::kill(guard, SIGCONT), 0);
    ASSERT_TRUE(came);
    QThread::msleep(1500);
    compositor.terminate();
    ASSERT_TRUE(waitUntil([] { return !compositorRuns(); }, kStartMs));
    QThread::msleep(1000);
    // The saver's windows lose the focus as the black window moves, which
    // wakes the prompt.
    ASSERT_TRUE(closePrompt(*saver_));
  }
  if (!desk.notifier.isEmpty()) {
    watch.watchCorner(true);
    ASSERT_TRUE(desktop_->run({"notify-send", "A notice", "over the lock?"}));
    QThread::msleep(3000);
    watch.watchCorner(false);
  }
  const QString prompt = openPromptWithKey(*saver_);
  ASSERT_FALSE(prompt.isEmpty());
  const QRect area = ProgramRun::windowGeometry(prompt);
  // Drawn, then compared once its text has come.
  QThread::msleep(1000);
  const QImage drawn = screen::grab(area);
  if (desk.compositor.isEmpty() && promptWithoutCompositor().isNull())
    promptWithoutCompositor() = drawn;
  if (!promptWithoutCompositor().isNull()) {
    // The caret blinks.
    EXPECT_LT(differing(drawn, promptWithoutCompositor()), 0.02) << "the prompt is fully drawn";
  }
  typeAndReturn("wrong");
  ASSERT_TRUE(saver_->waitForNoWindow(kPromptTitle, 10000)) << "a wrong password closes it";
  ASSERT_FALSE(openPromptWithKey(*saver_).isEmpty());
  ProgramRun::xdotool({"type", "--delay", "20", kPassword});
  watch.stop();
  ProgramRun::xdotool({"key", "Return"});
  EXPECT_EQ(saver_->waitForExit(15000), 0) << "the password ends it";
  expectNoLeak(watch, "locked");
}

TEST_P(ProgramCompositors, UnlockedThePlaybackCoversTheScreenUntilTheKey) {
  ScreenWatch watch;
  startSaver(false);
  ASSERT_FALSE(saver_->waitForWindow(kPlaybackTitle, kStartMs).isEmpty());
  watch.arm();
  ASSERT_TRUE(waitUntil([&] { return shareAtMiddle(kClip) > 0.9; }, kStartMs)) << "the clip plays";
  QThread::msleep(2500);
  watch.stop();
  ASSERT_FALSE(saver_->waitForExit(0).has_value()) << "it runs until the key";
  ProgramRun::xdotool({"key", "x"});
  EXPECT_EQ(saver_->waitForExit(10000), 0);
  expectNoLeak(watch, "unlocked");
}

INSTANTIATE_TEST_SUITE_P(
    Desks, ProgramCompositors,
    testing::Values(
        Desk{"none", {}, "dunst"}, Desk{"picom", {"picom", "--backend", "xrender"}, "dunst"},
        Desk{"picom_fading", {"picom", "--backend", "xrender", "--fading"}, {}},
        Desk{"picom_inactive", {"picom", "--backend", "xrender", "--inactive-opacity", "0.8"}, {}},
        Desk{"picom_while_locked", {"picom", "--backend", "xrender"}, {}, true},
        Desk{"picom_glx", {"picom", "--backend", "glx"}, {}},
        Desk{"picom_glx_fading", {"picom", "--backend", "glx", "--fading"}, {}},
        Desk{"picom_glx_inactive", {"picom", "--backend", "glx", "--inactive-opacity", "0.8"}, {}},
        Desk{"xcompmgr", {"xcompmgr"}, {}}, Desk{"xcompmgr_shadows", {"xcompmgr", "-c"}, {}},
        Desk{"xcompmgr_fading", {"xcompmgr", "-f"}, {}},
        Desk{"xfwm4",
             {"xfwm4", "--compositor=on"},
             "/usr/lib/x86_64-linux-gnu/xfce4/notifyd/xfce4-notifyd"},
        Desk{"kwin", {"kwin_x11", "--replace"}, {}},
        Desk{"marco", {"marco", "--composite", "--replace"}, {}},
        Desk{"muffin", {"muffin", "--replace"}, {}}),
    [](const testing::TestParamInfo<Desk>& desk) { return std::string(desk.param.name); });
