#pragma once

#include <QSize>

class QWidget;

namespace platform {

// What the program needs of the window system beyond plain widgets.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // Lets pending window events run once (input, paint, queued calls), then
  // returns. Handlers nest through here.
  virtual void letEventsRun() = 0;
  // Raises (true) or lowers (false) the pointer's display count and returns
  // the new count; the pointer is visible over the program's windows while
  // the count is 0 or more. The count starts at 0.
  virtual int showCursor(bool show) = 0;
  // The primary screen's size in logical pixels.
  virtual QSize screenSize() const = 0;
  // Keeps the window above all ordinary windows, without moving or sizing it.
  virtual void makeTopmost(QWidget& window) = 0;
  // Brings the window to the top of the stacking order and activates it.
  virtual void bringToTop(QWidget& window) = 0;
  // Tells the desktop that no screen saver runs any more.
  virtual void saverStopped() = 0;
};

class QtDesktop final : public Desktop {
 public:
  void letEventsRun() override;
  int showCursor(bool show) override;
  QSize screenSize() const override;
  void makeTopmost(QWidget& window) override;
  void bringToTop(QWidget& window) override;
  void saverStopped() override;

 private:
  int cursorCount_ = 0;
};

}  // namespace platform
