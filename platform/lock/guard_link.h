#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/lock/guard_protocol.h"

class QSocketNotifier;
class QWidget;

namespace platform {

// The saver's line to the guard process that started it, which holds a
// locked screen whatever happens to the saver.
class GuardLink {
 public:
  virtual ~GuardLink() = default;

  // True when the guard locked this run at its start: the password is asked
  // for whatever the settings say later, and only it ends the run.
  virtual bool locked() const = 0;
  // True when the guard asks for a black screen only: the saver failed too
  // often in a row with what it had to play.
  virtual bool playNothing() const = 0;
  // The playback window (its window id) covers the screen.
  virtual void covered(std::uint32_t window) = 0;
  // The password passed or none was asked: the program ends right after.
  virtual void unlocked() = 0;
  // While locked, the keys the guard hands over go to this widget (to its
  // focus widget, when it has one) and buttons to the widget under them,
  // until it lets go; the last one named has them. Keys that come while no
  // widget has them wait for the next one. The keys that come after a
  // widget lets go wait until the handler that gave it them has returned:
  // a closing prompt's keys are for the next prompt, not for a playback
  // window still busy with the last.
  virtual void takeInput(QWidget& receiver) = 0;
  virtual void releaseInput(QWidget& receiver) = 0;
};

// The environment name that numbers the guard's socket for its saver. The
// number alone proves nothing: see provenGuardDescriptor().
inline constexpr const char* kGuardDescriptorVariable = "REELVISTA_GUARD_FD";

// The descriptor the environment names when it is a socket the parent of
// this process made, and that parent runs this same executable; -1
// otherwise.
int provenGuardDescriptor();

// The link through the guard's socket; with no guard (every mode but saver
// mode) it says nothing to no one and is not locked.
//
// Locked, it is the saver's only source of input: keys and buttons from the
// window system are dropped, since the guard holds the keyboard and the
// pointer and what still arrives was sent by some other program. The
// windows the saver shows go into the guard's stage and the guard hears of
// them, so that it keeps them on screen.
class DescriptorGuardLink final : public QObject, public GuardLink {
 public:
  // `onGuardGone` runs when a locked run's guard ends: nothing holds the
  // screen any more, and the saver must not go on looking like a lock.
  explicit DescriptorGuardLink(std::function<void()> onGuardGone);
  // The link through a descriptor already known to be the guard's socket
  // (or none: -1); what the saver is is proven by the constructor above.
  DescriptorGuardLink(int descriptor, std::function<void()> onGuardGone);
  ~DescriptorGuardLink() override;
  DescriptorGuardLink(const DescriptorGuardLink&) = delete;
  DescriptorGuardLink& operator=(const DescriptorGuardLink&) = delete;

  bool locked() const override { return start_.locked; }
  bool playNothing() const override { return start_.playNothing; }
  void covered(std::uint32_t window) override;
  void unlocked() override;
  void takeInput(QWidget& receiver) override;
  void releaseInput(QWidget& receiver) override;

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Receiver {
    QPointer<QWidget> widget;
    int loopLevel;  // of the event loop that was running when it took the keys
  };

  void readStart();
  void onReadable();
  void deliverPending();
  bool mayDeliver();
  void deliverSoon(int delayMs = 0);
  void deliver(const GuardCommand& command);
  void deliverKey(const GuardCommand& command);
  void deliverButton(const GuardCommand& command);
  void onShown(QWidget& window);
  void send(const GuardMessage& message);
  QWidget* receiver();

  int descriptor_ = -1;
  GuardCommand start_;
  std::function<void()> onGuardGone_;
  QSocketNotifier* notifier_ = nullptr;
  GuardCommandReader reader_{parseGuardCommand};
  std::deque<GuardCommand> pending_;  // read, and not yet handed to anyone
  std::vector<Receiver> receivers_;
  // After a receiver let go: no key is handed on while event loops deeper
  // than this one run.
  std::optional<int> heldAbove_;
  bool deliverySoon_ = false;
};

}  // namespace platform
