#pragma once

#include <QByteArray>
#include <QDialog>
#include <functional>
#include <thread>

class QLabel;
class QTimer;
class QWidget;

namespace platform {

class GuardLink;
class PasswordField;

// The screen saver's password check.
class PasswordPrompt {
 public:
  virtual ~PasswordPrompt() = default;

  // Asks for the password of the user running the program in a modal
  // prompt owned by the window, above it; pending events run meanwhile.
  // True when the password was checked and passed.
  virtual bool verify(QWidget& owner) = 0;
};

// Checks a password for the user running the program: true when it passes.
// Runs off the GUI thread; must wipe the bytes before it returns.
using PasswordCheck = std::function<bool(QByteArray& password)>;

// The check of this desktop: PAM, service "reelvista", for the user running
// the program, on the display the program shows on.
PasswordCheck pamPasswordCheck();

// The prompt: a password field, OK and Cancel. Enter (or OK) hands what was
// typed to the check on a thread of its own; the field is emptied at once,
// and the prompt stays open, deaf to keys, until the check answers, so no
// second check starts while one runs. It closes not passed on Escape,
// Cancel, a refused password, or when nobody types for the idle time.
// While it is open it takes every key typed at the program's other windows:
// keys typed at once after the key that woke it reach the playback window
// until the prompt has the focus, and belong in its field, in order.
class PasswordDialog final : public QDialog {
  Q_OBJECT

 public:
  PasswordDialog(QWidget* owner, PasswordCheck check, int idleMs);
  ~PasswordDialog() override;

  bool checking() const { return worker_.joinable(); }
  // The widget that takes the keys typed at the prompt.
  QWidget& field();
  // Whether the window system's keys count at all; on a locked screen they
  // do not: the keys come from the guard, straight to the field.
  void setWindowSystemKeysCount(bool count) { windowSystemKeysCount_ = count; }

  void reject() override;
  void done(int result) override;
  bool eventFilter(QObject* receiver, QEvent* event) override;

 signals:
  // The prompt is about to leave the screen, still holding what it took.
  void closing();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void startCheck();
  void finishCheck(bool passed);

  PasswordCheck check_;
  PasswordField* field_ = nullptr;
  QLabel* status_ = nullptr;
  QTimer* idle_ = nullptr;
  std::thread worker_;
  bool windowSystemKeysCount_ = true;
};

// The desktop's prompt: a PasswordDialog that takes the keys the guard of a
// locked run hands over while it is open.
class DialogPasswordPrompt final : public PasswordPrompt {
 public:
  // Closes a prompt nobody types into after this long: the saver must not
  // sit behind an open prompt for ever.
  static constexpr int kIdleMs = 30000;

  DialogPasswordPrompt(GuardLink& guard, PasswordCheck check, int idleMs = kIdleMs);

  bool verify(QWidget& owner) override;

 private:
  GuardLink& guard_;
  PasswordCheck check_;
  int idleMs_;
  bool open_ = false;
};

}  // namespace platform
