// The guard's reading of the keyboard against a real X server (the tests'
// Xvfb), with keys pressed through XTEST as a person's are.
#include <gtest/gtest.h>
#include <poll.h>

#include <QProcess>
#include <QStringList>
#include <memory>

#include "platform/lock/guard_input.h"
#include "support/program_run.h"

using platform::GuardCommand;

namespace {

void run(const QString& program, const QStringList& arguments) {
  QProcess tool;
  tool.start(program, arguments);
  ASSERT_TRUE(tool.waitForFinished(10000) && tool.exitCode() == 0) << program.toStdString();
}

class GuardInput : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
    x_ = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(x_), 0);
  }
  void TearDown() override {
    if (!x_)
      return;
    run("xdotool", {"keyup", "Control_L"});
    run("setxkbmap", {"us"});
    xcb_disconnect(x_);
  }

  void grabKeyboard() {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x_)).data->root;
    std::free(xcb_grab_keyboard_reply(
        x_,
        xcb_grab_keyboard(x_, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr));
  }

  // The text of the next key pressed, and the modifiers it came with.
  std::pair<std::string, std::uint32_t> nextPress(platform::GuardInput& input) {
    pollfd readable{xcb_get_file_descriptor(x_), POLLIN, 0};
    while (true) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(x_)) {
        const std::optional<GuardCommand> key = input.read(*event);
        std::free(event);
        if (key && key->kind == GuardCommand::Kind::Key && key->pressed)
          return {std::string(key->text.view()), key->modifiers};
      }
      if (::poll(&readable, 1, 5000) != 1)
        return {"(none)", 0};
    }
  }

  xcb_connection_t* x_ = nullptr;
};

}  // namespace

// The lock started from a hotkey with Control still down, let go only once
// the keyboard is held: the letters after it are letters. Then the layout
// changes under the lock, and the keys are read in the new one.
TEST_F(GuardInput, KeysAreReadAsTheServerHasThemThroughAHeldHotkeyAndANewLayout) {
  run("xdotool", {"keydown", "Control_L"});
  platform::GuardInput input(x_);
  grabKeyboard();
  input.learnKeysDown();
  run("xdotool", {"keyup", "Control_L", "key", "a"});
  EXPECT_EQ(nextPress(input), std::make_pair(std::string("a"), 0u));

  run("setxkbmap", {"de"});
  run("xdotool", {"key", "z"});  // the key that types y in the US layout
  EXPECT_EQ(nextPress(input), std::make_pair(std::string("z"), 0u));
}
