// The lock of the built saver under attack, under Xvfb: a long run of wrong
// passwords, keys and clicks aimed at another program's window, the keys
// that end other programs and requests to close its windows. The password is
// checked by PAM through pam_wrapper and pam_matrix.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>

#include "platform/lock/pam_check.h"
#include "support/lock_steps.h"
#include "support/media.h"
#include "support/program_run.h"
#include "support/screen_probe.h"

namespace {

// Another program's window, on its own connection to the X server, that
// counts the keys and clicks the server hands it. Events another program
// sends it straight (XSendEvent) are counted apart: those are not input.
class Bystander {
 public:
  struct Seen {
    int keys = 0;      // presses
    int releases = 0;  // of keys
    int buttons = 0;
    QString keycodes;  // of the presses (+) and releases (-), in order
    int focusIns = 0;
    int sentKeys = 0;
  };

  Bystander() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_))
      throw std::runtime_error("cannot connect to the X server");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    const uint32_t values[] = {screen->white_pixel,
                               XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                   XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                   XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 200, 150, 600, 400,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const char title[] = "Bystander";
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, std::strlen(title), title);
    xcb_map_window(connection_, window_);
    xcb_flush(connection_);
    const QDeadlineTimer deadline(5000);
    while (!mapped_ && !deadline.hasExpired()) {
      take();
      QThread::msleep(20);
    }
    if (!mapped_)
      throw std::runtime_error("the bystander window did not map");
    take();
  }
  ~Bystander() { xcb_disconnect(connection_); }
  Bystander(const Bystander&) = delete;
  Bystander& operator=(const Bystander&) = delete;

  QString id() const { return QString::number(window_); }
  // The middle of the window, on the screen.
  QStringList middle() const { return {"500", "350"}; }

  // What arrived since the last call. The server is asked a round trip
  // first, so everything it delivered before now is in.
  Seen take() {
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    Seen seen;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const bool sent = event->response_type & 0x80;
      switch (event->response_type & ~0x80) {
        case XCB_KEY_PRESS:
          ++(sent ? seen.sentKeys : seen.keys);
          seen.keycodes +=
              QStringLiteral(" +%1").arg(reinterpret_cast<xcb_key_press_event_t*>(event)->detail);
          break;
        case XCB_KEY_RELEASE:
          ++(sent ? seen.sentKeys : seen.releases);
          seen.keycodes +=
              QStringLiteral(" -%1").arg(reinterpret_cast<xcb_key_press_event_t*>(event)->detail);
          break;
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE:
          ++seen.buttons;
          break;
        case XCB_FOCUS_IN:
          ++seen.focusIns;
          break;
        case XCB_MAP_NOTIFY:
          mapped_ = true;
          break;
      }
      free(event);
    }
    return seen;
  }

  // True when this window is stacked above the other one, both children of
  // the root.
  bool above(xcb_window_t other) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, screen->root), nullptr),
        &free);
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    int mine = -1;
    int theirs = -1;
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
      if (children[i] == window_)
        mine = i;
      if (children[i] == other)
        theirs = i;
    }
    return mine > theirs;
  }

 private:
  xcb_connection_t* connection_;
  xcb_window_t window_ = 0;
  bool mapped_ = false;
};

// Asks the window to close, as a window manager does for Alt+F4 or the close
// button of its frame.
void requestClose(xcb_window_t window) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const auto atom = [&](const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(connection,
                              xcb_intern_atom(connection, false, std::strlen(name), name), nullptr),
        &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  };
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = atom("WM_PROTOCOLS");
  message.data.data32[0] = atom("WM_DELETE_WINDOW");
  message.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection, false, window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
  xcb_disconnect(connection);
}

class ProgramLock : public testing::Test {
 protected:
  void SetUp() override {
    if (const QString why = whyTheLockCannotBeTried(); !why.isEmpty())
      GTEST_SKIP() << why.toStdString();
    const QString clip = media::makeVideo(saver.folder() / "clip.mpg", {160, 90}, 30.0);
    saver.writeSettingsFile("\r\n*.MPG\r\n" + clip.toUtf8() + "\r\n");
    saver.requirePassword(pam);
  }

  // Starts the saver and returns once it plays over the whole screen with
  // the keyboard and the pointer held.
  void startLocked() {
    saver.start({"/S"});
    canvas = saver.waitForWindow(kPlaybackTitle, 15000);
    ASSERT_FALSE(canvas.isEmpty());
    ASSERT_TRUE(waitForBothGrabsHeldElsewhere(10000));
  }

  bool running() { return !saver.waitForExit(0).has_value(); }

  // Opens the prompt with a key and empties its field. Keys typed earlier
  // that are still on their way may have opened a prompt already and typed
  // into it: whatever the field holds is cleared, as a person clears what
  // they see there.
  void openPrompt(const QString& key = QStringLiteral("x")) {
    promptWindow = openPromptWithKey(saver, key);
    ASSERT_FALSE(promptWindow.isEmpty()) << key.toStdString() << " asks for the password";
    ProgramRun::xdotool({"key", "ctrl+a", "BackSpace"});
  }

  static void enter(const QString& password) { typeAndReturn(password, 2); }

  void endWithThePassword() {
    openPrompt();
    enter(kPassword);
    EXPECT_EQ(saver.waitForExit(10000), 0);
  }

  const PamMatrix pam{platform::currentUserName() + ":" + kPassword.toUtf8() + ":reelvista\n"};
  ProgramRun saver;
  QString canvas;        // the id of the playback window
  QString promptWindow;  // the id of the last prompt opened
};

}  // namespace

TEST_F(ProgramLock, AHundredWrongPasswordsNeverEndItAndTheRightOneStillDoes) {
  startLocked();
  // Near misses: a prefix, the password and more, another case, spaces,
  // nothing at all, and a long one.
  const QStringList wrong = {kPassword.chopped(1), kPassword + "!", kPassword.toUpper(),
                             " " + kPassword,      kPassword + " ", QString(),
                             QString(200, u'x'),   "open  sesame",  "opensesame",
                             "wrong password here"};
  QElapsedTimer clock;
  clock.start();
  qint64 firstTen = 0;
  qint64 beforeLastTen = 0;
  for (int round = 0; round < 100; ++round) {
    if (round == 10)
      firstTen = clock.elapsed();
    if (round == 90)
      beforeLastTen = clock.elapsed();
    const QString& password = wrong[round % wrong.size()];
    ASSERT_NO_FATAL_FAILURE(openPrompt()) << "round " << round;
    enter(password);
    ASSERT_TRUE(saver.waitForNoWindow(kPromptTitle, 10000))
        << "round " << round << ": a wrong password closes the prompt";
    ASSERT_TRUE(running()) << "round " << round << ": \"" << password.toStdString() << "\"";
  }
  const qint64 lastTen = clock.elapsed() - beforeLastTen;
  std::cout << "100 wrong passwords took " << clock.elapsed() << " ms, the first ten " << firstTen
            << " ms, the last ten " << lastTen << " ms\n";
  EXPECT_LT(lastTen, 3 * firstTen) << "no delay that grows with the tries";
  endWithThePassword();
}

TEST_F(ProgramLock, KeysAndClicksAimedAtAnotherWindowNeverReachIt) {
  Bystander bystander;
  // The window was in use when the saver started: it had the focus, and it
  // gets keys and clicks, so a count of nothing below means something.
  ProgramRun::xdotool({"windowfocus", "--sync", bystander.id()});
  ProgramRun::xdotool(QStringList{"mousemove"} + bystander.middle());
  ProgramRun::xdotool({"click", "1"});
  ProgramRun::xdotool({"key", "a"});
  const Bystander::Seen before = bystander.take();
  ASSERT_GT(before.keys, 0);
  ASSERT_GT(before.buttons, 0);

  startLocked();
  bystander.take();
  const auto attack = [&] {
    ProgramRun::xdotool(QStringList{"mousemove"} + bystander.middle());
    ProgramRun::xdotool({"click", "1"});
    ProgramRun::xdotool({"click", "3"});
    ProgramRun::xdotool({"type", "--delay", "5", "hello"});
    ProgramRun::xdotool({"key", "Return"});
  };
  const auto nothingArrived = [&](const char* what) {
    ASSERT_TRUE(running()) << what;
    const Bystander::Seen seen = bystander.take();
    EXPECT_EQ(seen.keys, 0) << what << ": no key reaches another program;"
                            << seen.keycodes.toStdString();
    EXPECT_EQ(seen.releases, 0) << what << ": nor the release of one;"
                                << seen.keycodes.toStdString();
    EXPECT_EQ(seen.buttons, 0) << what << ": no click reaches another program";
    std::cout << what << ": focus came to the window " << seen.focusIns << " times\n";
    // A wrong password typed closes the prompt once PAM answers.
    if (!saver.waitForNoWindow(kPromptTitle, 3000)) {
      EXPECT_TRUE(closePrompt(saver)) << what << ": Escape closes the prompt";
    }
  };

  // Over the covered window: the first click asks for the password, the
  // rest goes to the prompt.
  attack();
  nothingArrived("over it");

  // The focus given to it; the saver takes it back with the prompt.
  ProgramRun::xdotool({"windowfocus", bystander.id()});
  attack();
  nothingArrived("focused");
  ProgramRun::xdotool({"windowactivate", bystander.id()});
  attack();
  nothingArrived("activated");

  // Raised over the saver, and focused there.
  ProgramRun::xdotool({"windowraise", bystander.id()});
  ProgramRun::xdotool({"windowfocus", bystander.id()});
  saver.screenshot("raised-window");
  std::cout << "the raised window is " << (bystander.above(canvas.toUInt()) ? "above" : "below")
            << " the saver\n";
  attack();
  nothingArrived("raised");

  // While the prompt opens and closes: the grab passes between windows.
  for (int round = 0; round < 10; ++round) {
    ProgramRun::xdotool({"windowfocus", bystander.id()});
    ProgramRun::xdotool({"key", "--delay", "1", "x", "Escape", "y", "z", "Escape", "w"});
    ProgramRun::xdotool({"click", "1"});
  }
  QThread::msleep(500);
  nothingArrived("prompt opening and closing");

  // Just after a wrong password, with the window in view under the pointer
  // (as a window on another monitor would be): what is typed next, most
  // likely a second try at the password, goes to the saver.
  for (int round = 0; round < 5; ++round) {
    ASSERT_NO_FATAL_FAILURE(openPrompt());
    ProgramRun::xdotool({"windowraise", bystander.id()});
    ProgramRun::xdotool(QStringList{"mousemove"} + bystander.middle());
    enter("wrong");
    ProgramRun::xdotool({"type", "--delay", "10", "abcdefghijklmnopqrstuvwxyz"});
  }
  nothingArrived("after a wrong password");

  // What another program sends straight to the window is no input and no
  // grab stops it.
  ProgramRun::xdotool({"key", "--window", bystander.id(), "a"});
  EXPECT_GT(bystander.take().sentKeys, 0);
  EXPECT_TRUE(running());

  endWithThePassword();
  ProgramRun::xdotool({"windowfocus", "--sync", bystander.id()});
  ProgramRun::xdotool({"key", "a"});
  EXPECT_GT(bystander.take().keys, 0) << "once it ends, keys reach other programs again";
}

// The password typed at once after the key that wakes the prompt, before the
// prompt has the focus: all of it goes to the prompt, none to the window that
// had the focus before the saver started.
TEST_F(ProgramLock, APasswordTypedAtOnceGoesWholeToThePromptAndNowhereElse) {
  Bystander bystander;
  ProgramRun::xdotool({"windowfocus", "--sync", bystander.id()});
  startLocked();
  bystander.take();
  ProgramRun::xdotool({"key", "x"});
  ProgramRun::xdotool({"type", "--delay", "60", kPassword});
  ProgramRun::xdotool({"key", "Return"});
  EXPECT_EQ(saver.waitForExit(10000), 0);
  const Bystander::Seen seen = bystander.take();
  EXPECT_EQ(seen.keys, 0) << seen.keycodes.toStdString();
}

TEST_F(ProgramLock, KeysThatEndOtherProgramsNeverEndIt) {
  startLocked();
  for (const QString key : {"alt+F4", "Escape", "ctrl+q", "ctrl+c", "ctrl+w"}) {
    ASSERT_NO_FATAL_FAILURE(openPrompt(key)) << "at playback";
    ASSERT_TRUE(running()) << key.toStdString() << " at playback";
    for (const QString atPrompt : {"alt+F4", "ctrl+q", "ctrl+c", "ctrl+w"}) {
      ProgramRun::xdotool({"key", atPrompt});
      EXPECT_FALSE(saver.waitForNoWindow(kPromptTitle, 1000))
          << atPrompt.toStdString() << " leaves the prompt open";
      ASSERT_TRUE(running()) << atPrompt.toStdString() << " at the prompt";
    }
    ProgramRun::xdotool({"key", "Escape"});
    ASSERT_TRUE(saver.waitForNoWindow(kPromptTitle, 5000)) << "Escape closes the prompt";
    ASSERT_TRUE(running()) << "Escape at the prompt";
  }

  endWithThePassword();
}

// Under a window manager Alt+F4, or the close button of a window's frame,
// becomes a request to close the window; another program can send one too.
// At the prompt it is Cancel; the playback window stays, in the moment after
// a prompt closed too.
TEST_F(ProgramLock, ACloseRequestNeverEndsIt) {
  startLocked();
  for (int round = 0; round < 10; ++round) {
    ASSERT_NO_FATAL_FAILURE(openPrompt()) << "round " << round;
    requestClose(promptWindow.toUInt());
    // Qt may pass over a request that comes as the prompt takes the focus.
    if (!saver.waitForNoWindow(kPromptTitle, 1000))
      ProgramRun::xdotool({"key", "Escape"});
    ASSERT_TRUE(saver.waitForNoWindow(kPromptTitle, 5000)) << "round " << round;
    ASSERT_TRUE(running()) << "round " << round;
    requestClose(canvas.toUInt());
    const std::optional<int> ended = saver.waitForExit(1500);
    ASSERT_FALSE(ended.has_value())
        << "round " << round << ": a close request ended it with status " << ended.value_or(-2);
    // Closing the playback window takes the focus from it, and that asks
    // for the password.
    if (!saver.waitForWindow(kPromptTitle, 300).isEmpty()) {
      ASSERT_TRUE(closePrompt(saver)) << "round " << round;
      const std::optional<int> afterPrompt = saver.waitForExit(1500);
      ASSERT_FALSE(afterPrompt.has_value())
          << "round " << round << ": Escape at the prompt a close request brought ended it with "
          << "status " << afterPrompt.value_or(-2);
    }
    ASSERT_FALSE(saver.waitForWindow(kPlaybackTitle, 1000).isEmpty()) << "round " << round;
  }
  endWithThePassword();
}
