#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "platform/platform.h"
#include "startup/shared_state.h"

struct Program;

// The program's long-lived windows. Each is created (its load handler runs)
// on first reference and stays until the program ends.
class Windows {
 public:
  using Factory = std::function<std::unique_ptr<QWidget>(Program&)>;
  struct Factories {
    Factory setup;
    Factory winSeek;
    Factory canvas;
  };

  Windows(Program& program, Factories factories);
  ~Windows();

  QWidget& setup() { return reference(setup_, factories_.setup); }
  QWidget& winSeek() { return reference(winSeek_, factories_.winSeek); }
  QWidget& canvas() { return reference(canvas_, factories_.canvas); }

  bool isWinSeekLoaded() const { return winSeek_ != nullptr; }
  // The windows created so far.
  QList<QWidget*> loaded() const;
  // True while any window of the program is shown.
  bool anyVisible() const;

 private:
  QWidget& reference(std::unique_ptr<QWidget>& slot, const Factory& make);

  Program& program_;
  Factories factories_;
  std::unique_ptr<QWidget> setup_;
  std::unique_ptr<QWidget> winSeek_;
  std::unique_ptr<QWidget> canvas_;
};

// One run of the program: the desktop it runs on, the shared state, and its
// windows. Every window gets it at construction.
struct Program {
  Program(platform::Platform& services, Windows::Factories factories);

  platform::Platform& platform;
  SharedState state;
  Windows windows;
};
