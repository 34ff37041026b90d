#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

class QTimer;

namespace platform {

// Keeps the keyboard and the pointer with one of the program's windows, so
// that no key or click reaches another program while the screen is locked.
// Holders stack: the password prompt takes the grab over from the playback
// window while it is open and gives it back when it closes.
class InputGrab {
 public:
  virtual ~InputGrab() = default;

  // The window takes the keyboard and the pointer, from now until its
  // release. A grab that fails (another program holds one, the window is
  // not on screen yet) is tried again until it holds.
  virtual void hold(QWidget& window) = 0;
  // The window lets go; the window that held them before takes them back.
  virtual void release(QWidget& window) = 0;
  // True when the window has held them at some moment since its hold.
  virtual bool hasHeld(const QWidget& window) const = 0;
};

// The grab of the window system, through the windows' own keyboard and
// pointer grabs (X11: XGrabKeyboard and XGrabPointer). Only X11 grants
// them; elsewhere the grab never holds.
class WindowSystemInputGrab final : public QObject, public InputGrab {
 public:
  WindowSystemInputGrab();

  void hold(QWidget& window) override;
  void release(QWidget& window) override;
  bool hasHeld(const QWidget& window) const override;

 private:
  void attempt();
  void dropClosed();

  struct Holder {
    QPointer<QWidget> window;
    bool held = false;  // the grab has held for it at some moment
  };
  Holder* top();

  std::vector<Holder> holders_;  // the last one holds the grab
  QTimer* retry_ = nullptr;
};

}  // namespace platform
