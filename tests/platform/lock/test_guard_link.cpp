// The keys a locked saver gets from its guard, through a real socket pair,
// handed to real widgets and the real password prompt (offscreen).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <mutex>

#include "platform/lock/guard_link.h"
#include "platform/lock/password_prompt.h"
#include "support/wait.h"

using platform::GuardCommand;

namespace {

std::string keyLine(bool pressed, std::uint32_t keysym, std::string_view text, bool repeat) {
  GuardCommand key;
  key.kind = GuardCommand::Kind::Key;
  key.pressed = pressed;
  key.repeat = repeat;
  key.keysym = keysym;
  key.text = pressed ? text : "";
  return std::string(platform::GuardLine(key).view());
}

// Each character pressed and let go; '\r' is Return, '\x1b' Escape, '*' a
// repeat of the key before, as a key held down gives.
std::string typed(std::string_view keys) {
  std::string lines;
  char last = 0;
  for (const char key : keys) {
    const bool repeat = key == '*';
    const char character = repeat ? last : key;
    const std::uint32_t keysym = character == '\r'     ? 0xff0d
                                 : character == '\x1b' ? 0xff1b
                                                       : character;
    const std::string_view text(&character, 1);
    lines += keyLine(true, keysym, text, repeat);
    if (!repeat)
      lines += keyLine(false, keysym, text, false);
    last = character;
  }
  return lines;
}

// Stands for the playback window: a key asks for the password, unless it
// is already asking (then the key is for no one, as while it exits).
class Waker : public QWidget {
 public:
  explicit Waker(platform::PasswordPrompt& prompt) : prompt_(prompt) {}
  std::vector<bool> answers;

 protected:
  void keyPressEvent(QKeyEvent*) override {
    if (std::exchange(asking_, true))
      return;
    answers.push_back(prompt_.verify(*this));
    asking_ = false;
  }

 private:
  platform::PasswordPrompt& prompt_;
  bool asking_ = false;
};

struct Checks {
  std::mutex mutex;
  std::vector<std::string> seen;

  platform::PasswordCheck check() {
    return [this](QByteArray& password) {
      std::lock_guard lock(mutex);
      seen.emplace_back(password.constData(), password.size());
      return password == "def";
    };
  }
};

class GuardLink : public testing::TestWithParam<std::size_t> {
 protected:
  void SetUp() override {
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends_), 0);
    write("start 1 0 0\n");
    QObject::connect(&writer_, &QTimer::timeout, [this] { writeNextPiece(); });
  }
  void TearDown() override { ::close(ends_[0]); }
  void write(std::string_view bytes) const {
    ASSERT_EQ(::write(ends_[0], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // The bytes in pieces, one piece a millisecond: one read, or many. They
  // follow what was written before in pieces, always in order: one timer
  // writes them one after another.
  void writeInPieces(const std::string& bytes, std::size_t piece) {
    for (std::size_t at = 0; at < bytes.size(); at += piece)
      pieces_.push_back(bytes.substr(at, piece));
    if (!writer_.isActive())
      writer_.start(1);
  }
  void writeNextPiece() {
    if (!pieces_.empty()) {
      write(pieces_.front());
      pieces_.pop_front();
    }
    if (pieces_.empty())
      writer_.stop();
  }

  int ends_[2] = {-1, -1};
  // The pieces not written yet go with the test.
  std::deque<std::string> pieces_;
  QTimer writer_;
};

}  // namespace

// A person wakes the lock at once after it starts, begins a password and
// thinks better of it (Escape), types a wrong one, then the right one, each
// after a key that wakes the prompt, all before anything is on screen.
// Every key reaches the prompt it was typed for, whether the guard's lines
// come in one read or in many: the keys that came before the playback
// window took them, the ones read with the key that opened the prompt, the
// ones that came while a prompt closed or checked; a key held down repeats
// into no field.
TEST_P(GuardLink, EveryKeyReachesThePromptItWasTypedFor) {
  Checks checks;
  bool guardGone = false;
  platform::DescriptorGuardLink link(ends_[1], [&] { guardGone = true; });
  ASSERT_TRUE(link.locked());
  platform::DialogPasswordPrompt prompt(link, checks.check(), 60000);
  Waker playback(prompt);

  writeInPieces(typed("xab\x1bwabc\ry*def\r"), GetParam());
  waitRunningEvents([] { return false; }, 50);  // some, or all, come before the window
  link.takeInput(playback);
  EXPECT_TRUE(waitRunningEvents([&] { return playback.answers.size() == 3; }, 10000));
  EXPECT_EQ(checks.seen, (std::vector<std::string>{"abc", "def"}));
  EXPECT_EQ(playback.answers, (std::vector<bool>{false, false, true}));
  EXPECT_FALSE(guardGone);
}

// A prompt that closed with no key after it leaves nothing behind: one the
// playback window opens of itself (on a close request, a lost focus) has
// the keys typed into it.
TEST_P(GuardLink, APromptOpenedWithoutAKeyHasTheKeys) {
  Checks checks;
  platform::DescriptorGuardLink link(ends_[1], {});
  platform::DialogPasswordPrompt prompt(link, checks.check(), 3000);
  Waker playback(prompt);
  link.takeInput(playback);
  writeInPieces(typed("x\x1b"), GetParam());
  ASSERT_TRUE(waitRunningEvents([&] { return playback.answers.size() == 1; }, 10000));

  writeInPieces(typed("def\r"), GetParam());
  EXPECT_TRUE(prompt.verify(playback));
  EXPECT_EQ(checks.seen, std::vector<std::string>{"def"});
}

INSTANTIATE_TEST_SUITE_P(Pieces, GuardLink, testing::Values(100000, 1, 7),
                         [](const auto& piece) { return "of" + std::to_string(piece.param); });
