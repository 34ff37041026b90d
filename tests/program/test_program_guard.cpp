// The guard of the built saver: a saver killed while the screen is locked
// leaves it black and held until the password is given, and every monitor
// is black while the saver runs. A window of a colour the saver never shows
// stands for the desktop; the screen over it is sampled all the while.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/lock/pam_check.h"
#include "support/media.h"
#include "support/program_run.h"
#include "support/temp_folder.h"
#include "support/wait.h"

namespace {

const QString kPrompt = QStringLiteral("Reelvista password");
const QString kPassword = QStringLiteral("open sesame");
constexpr std::uint32_t kDesktopColour = 0x21c437;

template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> own(Reply* reply) {
  return {reply, &std::free};
}

// A window of the desktop's colour, and a look at whether it is in view.
class DesktopWindow {
 public:
  DesktopWindow(int x, int y, int size)
      : connection_(xcb_connect(nullptr, nullptr)), x_(x), y_(y), size_(size) {
    if (xcb_connection_has_error(connection_))
      throw std::runtime_error("cannot connect to the X server");
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t values[] = {kDesktopColour, 1};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, x, y, size, size, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection_, window);
    xcb_flush(connection_);
    const QDeadlineTimer deadline(5000);
    while (!inView() && !deadline.hasExpired())
      QThread::msleep(20);
  }
  ~DesktopWindow() { xcb_disconnect(connection_); }

  // True when most of the middle of the window shows its colour.
  bool inView() const {
    const int side = size_ / 2;
    const auto image =
        own(xcb_get_image_reply(connection_,
                                xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                                              x_ + side / 2, y_ + side / 2, side, side, ~0u),
                                nullptr));
    if (!image)
      return false;
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image.get()));
    const int count = xcb_get_image_data_length(image.get()) / 4;
    int matching = 0;
    for (int i = 0; i < count; ++i)
      matching += (pixels[i] & 0xffffff) == kDesktopColour;
    return matching > count / 2;
  }

  bool waitForView(bool wanted, int milliseconds) const {
    const QDeadlineTimer deadline(milliseconds);
    while (inView() != wanted) {
      if (deadline.hasExpired())
        return false;
      QThread::msleep(20);
    }
    return true;
  }

 private:
  xcb_connection_t* connection_;
  xcb_screen_t* screen_ = nullptr;
  int x_, y_, size_;
};

// Looks at the desktop window over and over on a thread of its own.
class Watch {
 public:
  explicit Watch(const DesktopWindow& window)
      : thread_([this, &window] {
          while (!stop_) {
            ++looks_;
            seen_ += window.inView();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
        }) {}
  ~Watch() { stop(); }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  // The number of looks, and of those that saw the desktop.
  std::pair<int, int> stop() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
    return {looks_, seen_};
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> looks_{0};
  std::atomic<int> seen_{0};
  std::thread thread_;
};

// Another program's grab of the keyboard, held from its making until it is
// let go.
class KeyboardGrab {
 public:
  KeyboardGrab() : connection_(xcb_connect(nullptr, nullptr)) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const auto reply =
        own(xcb_grab_keyboard_reply(connection_,
                                    xcb_grab_keyboard(connection_, 0, root, XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                    nullptr));
    held_ = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
  }
  ~KeyboardGrab() { letGo(); }
  KeyboardGrab(const KeyboardGrab&) = delete;
  KeyboardGrab& operator=(const KeyboardGrab&) = delete;

  bool held() const { return held_; }
  void letGo() {
    if (connection_)
      xcb_disconnect(connection_);
    connection_ = nullptr;
    held_ = false;
  }

 private:
  xcb_connection_t* connection_;
  bool held_ = false;
};

// True when another program can take the keyboard now.
bool keyboardFree() {
  return KeyboardGrab().held();
}

// An X server of its own with RandR monitors, which Xvfb does not keep:
// Xorg with the dummy driver (run as root), a screen 1920 wide holding
// monitors L (0 to 640) and R (640 to 1280); 1280 to 1920 is on none yet.
class DummyXorg {
 public:
  static QString unavailable() {
    if (::geteuid() != 0)
      return "Xorg runs only as root here";
    if (QStandardPaths::findExecutable("Xorg").isEmpty() ||
        !QFile::exists("/usr/lib/xorg/modules/drivers/dummy_drv.so"))
      return "needs Xorg with the dummy driver (./x setup installs them)";
    return {};
  }

  DummyXorg() : previousDisplay_(qgetenv("DISPLAY")) {
    folder_.write("xorg.conf",
                  "Section \"Device\"\n Identifier \"dummy\"\n Driver \"dummy\"\n"
                  " VideoRam 32768\nEndSection\n"
                  "Section \"Monitor\"\n Identifier \"monitor\"\n HorizSync 5.0-100.0\n"
                  " VertRefresh 5.0-200.0\n"
                  " Modeline \"1280x480\" 40.0 1280 1300 1400 1500 480 490 495 500\nEndSection\n"
                  "Section \"Screen\"\n Identifier \"screen\"\n Device \"dummy\"\n"
                  " Monitor \"monitor\"\n DefaultDepth 24\n SubSection \"Display\"\n"
                  "  Depth 24\n  Modes \"1280x480\"\n  Virtual 1920 480\n EndSubSection\n"
                  "EndSection\n");
    int number = 60;
    while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
           QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
      ++number;
    display_ = QStringLiteral(":%1").arg(number);
    server_.start("Xorg", {display_, "-config", folder_ / "xorg.conf", "-noreset", "-nolisten",
                           "tcp", "-logfile", folder_ / "xorg.log"});
    qputenv("DISPLAY", display_.toUtf8());
    const bool up = waitUntil(
        [] {
          xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
          const bool connected = !xcb_connection_has_error(connection);
          xcb_disconnect(connection);
          return connected;
        },
        30000);
    if (!up)
      throw std::runtime_error("Xorg did not start: " + folder_.read("xorg.log").toStdString());
    xrandr({"--fb", "1920x480"});
    xrandr({"--setmonitor", "L", "640/169x480/127+0+0", "DUMMY0"});
    xrandr({"--setmonitor", "R", "640/169x480/127+640+0", "none"});
  }
  ~DummyXorg() {
    server_.terminate();
    if (!server_.waitForFinished(10000))
      server_.kill();
    server_.waitForFinished(5000);
    qputenv("DISPLAY", previousDisplay_);
  }

  QString display() const { return display_; }
  static void xrandr(const QStringList& arguments) {
    QProcess tool;
    tool.start("xrandr", arguments);
    tool.waitForFinished(20000);
  }

 private:
  TempFolder folder_;
  QByteArray previousDisplay_;
  QString display_;
  QProcess server_;
};

class ProgramGuard : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    const QString clip =
        media::makeVideo(saver.folder() / "clip.mpg", {160, 90}, 30.0, Qt::darkBlue);
    saver.writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
  }

  // Skips the test where PAM cannot be tested; the caller returns then.
  void requirePassword() {
    if (const QString why = PamMatrix::unavailable(); !why.isEmpty())
      GTEST_SKIP() << why.toStdString();
    saver.requirePassword(pam);
  }

  // Starts the saver; returns once it covers the screen (and, with the
  // password on, holds the keyboard).
  void startSaver(bool locked) {
    saver.start({"/S"});
    ASSERT_FALSE(saver.waitForWindow("Reelvista", 20000).isEmpty());
    if (locked) {
      ASSERT_TRUE(waitUntil([] { return !keyboardFree(); }, 15000));
    }
  }

  // Starts the saver as an idle daemon does, holding off sleep with a
  // descriptor it hands down; true once every copy of it is closed, which
  // the saver does once it covers the screen (and, with the password on,
  // once it is locked).
  bool startWithSleepLock() {
    int sleepLock[2];
    if (::pipe(sleepLock) != 0)
      return false;
    saver.setEnvironment("XSS_SLEEP_LOCK_FD", QString::number(sleepLock[1]));
    saver.start({"/S"});
    ::close(sleepLock[1]);
    pollfd closed{sleepLock[0], POLLIN, 0};
    char byte = 0;
    const bool letGo = ::poll(&closed, 1, 30000) == 1 && ::read(sleepLock[0], &byte, 1) == 0;
    ::close(sleepLock[0]);
    return letGo;
  }

  // Presses keys until the prompt comes, as a person would.
  void openPrompt() {
    const QDeadlineTimer deadline(20000);
    QString prompt;
    while (prompt.isEmpty() && !deadline.hasExpired()) {
      ProgramRun::xdotool({"key", "x"});
      prompt = saver.waitForWindow(kPrompt, 1000);
    }
    ASSERT_FALSE(prompt.isEmpty()) << "a key brings the prompt";
    ASSERT_TRUE(ProgramRun::waitForFocus(prompt, 5000));
  }

  void endWithThePassword() {
    ASSERT_NO_FATAL_FAILURE(openPrompt());
    ProgramRun::xdotool({"type", "--delay", "20", kPassword});
    ProgramRun::xdotool({"key", "Return"});
    EXPECT_EQ(saver.waitForExit(15000), 0);
  }

  // The desktop on the second monitor and beyond every monitor is black,
  // and stays black when a client makes the monitor list smaller.
  void checkEveryMonitorIsBlack(bool locked) {
    if (const QString why = DummyXorg::unavailable(); !why.isEmpty())
      GTEST_SKIP() << why.toStdString();
    DummyXorg xorg;
    saver.setEnvironment("DISPLAY", xorg.display());
    if (locked && (requirePassword(), IsSkipped()))
      return;
    const DesktopWindow second(800, 140, 200);
    const DesktopWindow third(1500, 140, 200);
    ASSERT_TRUE(second.inView() && third.inView());
    ASSERT_NO_FATAL_FAILURE(startSaver(locked));
    EXPECT_TRUE(second.waitForView(false, 10000)) << "the second monitor turns black";
    EXPECT_TRUE(third.waitForView(false, 10000)) << "and the screen beyond every monitor";
    DummyXorg::xrandr({"--setmonitor", "L", "320/85x240/64+0+0", "DUMMY0"});
    DummyXorg::xrandr({"--delmonitor", "R"});
    EXPECT_FALSE(second.inView()) << "a monitor list made smaller uncovers nothing";
    if (locked) {
      endWithThePassword();
    } else {
      ProgramRun::xdotool({"key", "x"});
      EXPECT_EQ(saver.waitForExit(10000), 0);
    }
    EXPECT_TRUE(second.waitForView(true, 5000));
  }

  const PamMatrix pam{platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n"};
  ProgramRun saver;
};

enum class Attack { Segfault, Kill, WindowKill };

void attack(ProgramRun& saver, Attack how) {
  const auto pid = static_cast<pid_t>(saver.saverProcessId());
  switch (how) {
    case Attack::Segfault:
      ::kill(pid, SIGSEGV);
      break;
    case Attack::Kill:
      ::kill(pid, SIGKILL);
      break;
    case Attack::WindowKill:
      ProgramRun::xdotool({"windowkill", saver.waitForWindow("Reelvista", 1000)});
      break;
  }
}

}  // namespace

TEST_F(ProgramGuard, ASaverKilledWhileLockedLeavesTheScreenBlackAndHeld) {
  if (requirePassword(), IsSkipped())
    return;
  DesktopWindow desktop(300, 200, 200);
  ASSERT_TRUE(desktop.inView());
  ASSERT_NO_FATAL_FAILURE(startSaver(true));
  for (const Attack how : {Attack::Segfault, Attack::Kill, Attack::WindowKill}) {
    const int round = static_cast<int>(how);
    Watch watch(desktop);
    const qint64 killed = saver.saverProcessId();
    attack(saver, how);
    ASSERT_TRUE(waitUntil([&] { return saver.saverProcessId() != killed; }, 10000)) << round;
    // Free from the moment the saver's connection closes until the guard
    // hears of it: keys and clicks then reach the guard's covers, over all
    // but the playback window that went.
    EXPECT_TRUE(waitUntil([] { return !keyboardFree(); }, 500))
        << round << ": the guard takes the keyboard";
    ASSERT_TRUE(waitUntil([&] { return saver.saverProcessId() != 0; }, 10000)) << round;
    ASSERT_FALSE(saver.waitForWindow("Reelvista", 20000).isEmpty()) << round;
    // It takes the grab over from the guard, trying ten times a second.
    EXPECT_TRUE(waitUntil([] { return !keyboardFree(); }, 5000)) << round << ": the new saver";
    ASSERT_NO_FATAL_FAILURE(openPrompt()) << round;
    ProgramRun::xdotool({"key", "Escape"});
    ASSERT_TRUE(saver.waitForNoWindow(kPrompt, 5000)) << round;
    const auto [looks, seen] = watch.stop();
    std::cout << "attack " << round << ": " << looks << " looks at the desktop, " << seen
              << " saw it\n";
    EXPECT_GT(looks, 20) << round;
    EXPECT_EQ(seen, 0) << round << ": no frame of the desktop";
    EXPECT_FALSE(saver.waitForExit(0).has_value()) << round;
  }
  endWithThePassword();
  EXPECT_TRUE(desktop.waitForView(true, 5000)) << "the password uncovers the desktop";
}

// The guard takes the keyboard and the pointer before anything else; while
// another program holds the keyboard it cannot, and ends with 1 after its
// ten seconds with nothing locked. Once it holds them, no saver is asked to.
TEST_F(ProgramGuard, AKeyboardHeldElsewhereLocksNothing) {
  if (requirePassword(), IsSkipped())
    return;
  DesktopWindow desktop(300, 200, 200);
  const KeyboardGrab other;
  ASSERT_TRUE(other.held());
  saver.start({"/S"});
  EXPECT_EQ(saver.waitForExit(30000), 1) << "never locked";
  EXPECT_EQ(saver.saverProcessId(), 0) << "no saver was started";
  EXPECT_TRUE(desktop.waitForView(true, 5000));
}

TEST_F(ProgramGuard, WithoutThePasswordAKilledSaverEndsItAll) {
  DesktopWindow desktop(300, 200, 200);
  ASSERT_NO_FATAL_FAILURE(startSaver(false));
  ASSERT_TRUE(desktop.waitForView(false, 10000));
  attack(saver, Attack::Kill);
  const std::optional<int> status = saver.waitForExit(10000);
  ASSERT_TRUE(status.has_value());
  EXPECT_NE(*status, 0);
  EXPECT_TRUE(desktop.waitForView(true, 5000));
}

// xss-lock -l holds off sleep with a descriptor until the screen is covered,
// and ends a saver with SIGTERM to the process it started: locked, where
// PAM can be tested.
TEST_F(ProgramGuard, TheIdleDaemonsSleepLockAndTerminationSignalAreKept) {
  const bool locked = PamMatrix::unavailable().isEmpty();
  if (locked)
    saver.requirePassword(pam);
  ASSERT_TRUE(startWithSleepLock()) << "every copy closed";
  EXPECT_FALSE(saver.waitForWindow("Reelvista", 1000).isEmpty()) << "once covered";
  if (locked) {
    ASSERT_TRUE(waitUntil([] { return !keyboardFree(); }, 15000));
  }

  const qint64 child = saver.saverProcessId();
  ASSERT_EQ(::kill(static_cast<pid_t>(saver.processId()), SIGTERM), 0);
  EXPECT_EQ(saver.waitForExit(10000), 0);
  EXPECT_NE(::kill(static_cast<pid_t>(child), 0), 0) << "the saver is gone too";
  EXPECT_TRUE(keyboardFree());
}

TEST_F(ProgramGuard, EveryMonitorIsBlackWhileItPlays) {
  checkEveryMonitorIsBlack(false);
}

TEST_F(ProgramGuard, EveryMonitorIsBlackWhileItIsLocked) {
  checkEveryMonitorIsBlack(true);
}
