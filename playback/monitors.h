#pragma once

#include <QObject>
#include <QRect>
#include <memory>
#include <vector>

class Canvas;
struct Program;
class QTimer;

// The playback on every monitor the desktop shows: the program's playback
// window (the first, which has the focus) on the primary monitor, and one
// more Canvas on each other monitor, each on its monitor's own rectangle
// wherever it sits. Only the primary monitor's player is heard. Monitors
// that come, go or move while the saver runs are followed: one that comes
// gets a window that plays at once, one that goes takes its window and
// player with it, and the sound follows the primary.
class Monitors final : public QObject {
  Q_OBJECT

 public:
  Monitors(Program& program, Canvas& first);
  ~Monitors() override;
  Monitors(const Monitors&) = delete;
  Monitors& operator=(const Monitors&) = delete;

  // Shows the windows beside the first; they play once it does.
  void show();
  // Every playback window, the first one first.
  std::vector<Canvas*> canvases() const;
  // The window on the monitor the pointer is on; the first one when the
  // pointer is on none.
  Canvas& underPointer() const;

 private:
  void follow();
  void open(const QRect& monitor, bool sound);
  void startBeside();
  void let(Canvas& canvas, std::vector<QRect>& free);
  void close(Canvas& canvas);

  Program& program_;
  Canvas& first_;
  std::vector<std::unique_ptr<Canvas>> beside_;
  QTimer* settle_ = nullptr;
  int keys_ = 0;
  bool shown_ = false;
};
