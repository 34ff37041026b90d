#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/lock/password_field.h"
#include "platform/lock/password_prompt.h"
#include "platform/scripted/scripted_password.h"
#include "support/qt_printers.h"

using platform::DialogPasswordPrompt;
using platform::PasswordDialog;
using platform::PasswordField;
using platform::scripted::ScriptedGuardLink;

namespace {

// A check that knows one password and may take its time, as PAM does after
// a wrong one.
struct FakeCheck {
  std::atomic<int> calls = 0;
  std::atomic<int> delayMs = 0;
  std::mutex mutex;
  QByteArrayList seen;

  platform::PasswordCheck check() {
    return [this](QByteArray& password) {
      ++calls;
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
      std::lock_guard lock(mutex);
      seen << QByteArray(password.constData(), password.size());
      return password == "right horse";
    };
  }
};

PasswordDialog* openDialog() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<PasswordDialog*>(window); dialog && dialog->isVisible())
      return dialog;
  }
  return nullptr;
}

PasswordField* field() {
  return openDialog()->findChild<PasswordField*>("password");
}

// Runs the steps one after another inside the prompt's own event loop.
void whileOpen(std::function<void()> step) {
  QTimer::singleShot(50, qApp, std::move(step));
}

class Prompt : public testing::Test {
 protected:
  void SetUp() override { owner.setObjectName("canvas"); }

  bool verify(int idleMs = 30000) {
    DialogPasswordPrompt prompt(guard, check.check(), idleMs);
    return prompt.verify(owner);
  }

  QWidget owner;
  ScriptedGuardLink guard;
  FakeCheck check;
};

}  // namespace

TEST_F(Prompt, TheRightPasswordPassesAndTheFieldIsEmptiedAtOnce) {
  int fieldAfterEnter = -1;
  bool ownedByTheCanvas = false;
  whileOpen([&] {
    ownedByTheCanvas = openDialog()->parentWidget() == &owner;
    QTest::keyClicks(field(), "right horse");
    QTest::keyClick(field(), Qt::Key_Return);
    fieldAfterEnter = field()->length();
  });
  EXPECT_TRUE(verify());
  EXPECT_TRUE(ownedByTheCanvas);
  EXPECT_EQ(fieldAfterEnter, 0);
  EXPECT_EQ(check.seen, QByteArrayList{"right horse"});
  EXPECT_EQ(guard.sent, (QStringList{"input to password", "input from password"}))
      << "the field takes the guard's keys while the prompt is open";
}

TEST_F(Prompt, ASlowRefusalKeepsTheWindowLiveAndStartsNoSecondCheck) {
  check.delayMs = 700;
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(50);
  bool stillOpen = false;
  whileOpen([&] {
    QTest::keyClicks(field(), "wrong");
    QTest::keyClick(field(), Qt::Key_Return);
    QTimer::singleShot(100, openDialog(), [&] {
      // While PAM thinks: more Enters, more typing and Escape change nothing.
      QTest::keyClick(openDialog(), Qt::Key_Return);
      QTest::keyClicks(openDialog(), "right horse");
      QTest::keyClick(openDialog(), Qt::Key_Return);
      QTest::keyClick(openDialog(), Qt::Key_Escape);
      stillOpen = openDialog() != nullptr;
    });
  });
  QElapsedTimer elapsed;
  elapsed.start();
  EXPECT_FALSE(verify());
  EXPECT_GE(elapsed.elapsed(), 600);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(check.calls, 1);
  EXPECT_EQ(check.seen, QByteArrayList{"wrong"});
  EXPECT_GE(ticks, 8) << "the GUI thread ran on during the check";
}

TEST_F(Prompt, EscapeOrNobodyTypingClosesItNotPassedWithoutACheck) {
  whileOpen([&] {
    QTest::keyClicks(field(), "right");
    QTest::keyClick(field(), Qt::Key_Escape);
  });
  EXPECT_FALSE(verify());

  // Typing restarts the idle time: a key at 600 ms keeps it open past 1000.
  bool openAfterTyping = false;
  whileOpen([&] {
    // Timers of the dialog's own: gone with it, should it close early.
    QTimer::singleShot(550, openDialog(), [&] { QTest::keyClicks(field(), "r"); });
    QTimer::singleShot(1250, openDialog(), [&] { openAfterTyping = true; });
  });
  QElapsedTimer elapsed;
  elapsed.start();
  EXPECT_FALSE(verify(1000));
  EXPECT_TRUE(openAfterTyping);
  EXPECT_GE(elapsed.elapsed(), 1500);
  EXPECT_EQ(check.calls, 0);
}

TEST_F(Prompt, OnlyOnePromptAtATime) {
  DialogPasswordPrompt prompt(guard, check.check(), 30000);
  bool second = true;
  whileOpen([&] {
    second = prompt.verify(owner);
    QTest::keyClick(field(), Qt::Key_Escape);
  });
  EXPECT_FALSE(prompt.verify(owner));
  EXPECT_FALSE(second);
  EXPECT_EQ(openDialog(), nullptr);
}

// The playback window's player, which had the focus when the first key woke
// the prompt.
struct Player : QWidget {
  using QWidget::QWidget;
  void keyPressEvent(QKeyEvent*) override { ++keys; }
  int keys = 0;
};

TEST_F(Prompt, KeysTypedAtThePlaybackWindowGoToTheFieldInOrderReturnIncluded) {
  Player player(&owner);
  whileOpen([&] {
    // The key that woke the prompt, still held down, repeats: it is not typed.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x", true);
    QApplication::sendEvent(&player, &repeat);
    QTest::keyClicks(&player, "right horse");
    QTest::keyClick(&player, Qt::Key_Return);
  });
  EXPECT_TRUE(verify());
  EXPECT_EQ(check.seen, QByteArrayList{"right horse"});
  EXPECT_EQ(player.keys, 0) << "no key reached the playback window";
}

// Locked, the keys come from the guard only: the window system's keys at
// the playback window (another program's, sent to it) do not reach the field.
TEST_F(Prompt, LockedOnlyTheKeysHandedToTheFieldCount) {
  guard.lockedByTheGuard = true;
  Player player(&owner);
  whileOpen([&] {
    QKeyEvent sent(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier, "w");
    QApplication::sendEvent(&player, &sent);
    QTest::keyClicks(field(), "right horse");
    QTest::keyClick(field(), Qt::Key_Return);
  });
  EXPECT_TRUE(verify());
  EXPECT_EQ(check.seen, QByteArrayList{"right horse"});
}

// The field holds what is typed and nothing more: it edits by the keys a
// person clears a field with, opens no menu, and is empty once taken.
TEST(PasswordField, EditsByKeysAndIsEmptyOnceTaken) {
  PasswordField field;
  QTest::keyClicks(&field, "secret");
  QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&field, "pa");
  for (const QString& typed :
       {QStringLiteral("\u00df"), QStringLiteral("w"), QStringLiteral("\u20ac")}) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
    QApplication::sendEvent(&field, &key);
  }
  QTest::keyClick(&field, Qt::Key_Backspace);
  QTest::keyClicks(&field, "rd");
  EXPECT_EQ(field.length(), 6);
  EXPECT_EQ(field.contextMenuPolicy(), Qt::NoContextMenu);
  EXPECT_EQ(field.take(), QByteArray("pa\xc3\x9fwrd"));
  EXPECT_EQ(field.length(), 0);

  QTest::keyClicks(&field, "gone");
  QTest::keyClick(&field, Qt::Key_U, Qt::ControlModifier);
  QTest::keyClicks(&field, "x");
  QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&field, Qt::Key_Backspace);
  EXPECT_EQ(field.take(), QByteArray());
}
