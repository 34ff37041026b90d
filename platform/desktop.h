#pragma once

#include <QElapsedTimer>
#include <QRect>
#include <functional>
#include <vector>

class QObject;
class QWidget;

namespace platform {

// One monitor of the desktop: where it shows the root window, in logical
// pixels.
struct Monitor {
  QRect place;
  bool primary = false;

  bool operator==(const Monitor&) const = default;
};

// What the program needs of the window system beyond plain widgets.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // Lets pending window events run once (input, paint, queued calls), then
  // returns. Handlers nest through here.
  virtual void letEventsRun() = 0;
  // The same for a loop that asks very often (a walk, at every folder): may
  // skip the run when the last was a moment ago.
  virtual void letDueEventsRun() { letEventsRun(); }
  // Raises (true) or lowers (false) the pointer's display count and returns
  // the new count; the pointer is visible over the program's windows while
  // the count is 0 or more. The count starts at 0.
  virtual int showCursor(bool show) = 0;
  // The monitors the desktop shows, the primary first, each once: outputs
  // that mirror one another show one picture.
  virtual std::vector<Monitor> monitors() const = 0;
  // Calls changed() whenever a monitor comes, goes or moves, or another one
  // becomes the primary, for as long as the context lives.
  virtual void watchMonitors(QObject& context, std::function<void()> changed) = 0;
  // The primary monitor's rectangle.
  QRect primaryMonitor() const;
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
  void letDueEventsRun() override;
  int showCursor(bool show) override;
  std::vector<Monitor> monitors() const override;
  void watchMonitors(QObject& context, std::function<void()> changed) override;
  void makeTopmost(QWidget& window) override;
  void bringToTop(QWidget& window) override;
  void saverStopped() override;

 private:
  int cursorCount_ = 0;
  QElapsedTimer sinceEvents_;
};

}  // namespace platform
