#include "playback/monitors.h"

#include <QCursor>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "playback/canvas.h"
#include "startup/program.h"

namespace {

// Screens come and go in bursts of changes (an output, then its monitor,
// then the primary); the windows follow once things are quiet.
constexpr int kSettleMs = 100;

}  // namespace

Monitors::Monitors(Program& program, Canvas& first) : program_(program), first_(first) {
  const std::vector<platform::Monitor> all = program_.platform.desktop->monitors();
  if (!all.empty())
    first_.moveToMonitor(all.front().place);
  settle_ = new QTimer(this);
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  connect(settle_, &QTimer::timeout, this, &Monitors::follow);
  program_.platform.desktop->watchMonitors(*this, [this] { settle_->start(); });
  connect(&first_, &Canvas::startedPlaying, this, &Monitors::startBeside);
}

Monitors::~Monitors() = default;

void Monitors::show() {
  if (std::exchange(shown_, true))
    return;
  follow();
}

std::vector<Canvas*> Monitors::canvases() const {
  std::vector<Canvas*> all{&first_};
  for (const auto& canvas : beside_)
    all.push_back(canvas.get());
  return all;
}

Canvas& Monitors::underPointer() const {
  const QPoint pointer = QCursor::pos();
  for (Canvas* canvas : canvases()) {
    if (canvas->isVisible() && canvas->geometry().contains(pointer))
      return *canvas;
  }
  return first_;
}

// A window whose monitor is still there stays; one whose monitor went
// takes a monitor that has none (the same one, moved or resized), or goes.
// The first window never goes: it takes the place of another.
void Monitors::follow() {
  // The prompt may be open over any of the windows: they change once it is
  // gone.
  if (program_.state.Exiting) {
    settle_->start();
    return;
  }
  const std::vector<platform::Monitor> all = program_.platform.desktop->monitors();
  if (all.empty() || !shown_)
    return;
  std::vector<QRect> free;
  free.reserve(all.size());
  for (const platform::Monitor& monitor : all)
    free.push_back(monitor.place);
  std::vector<Canvas*> lost;
  for (Canvas* canvas : canvases()) {
    const auto held = std::find(free.begin(), free.end(), canvas->monitor());
    if (held != free.end())
      free.erase(held);
    else
      lost.push_back(canvas);
  }
  // The first window last: by then the windows left beside it are the ones
  // that stay.
  for (auto canvas = lost.rbegin(); canvas != lost.rend(); ++canvas)
    let(**canvas, free);
  const QRect primary = all.front().place;
  for (Canvas* canvas : canvases())
    canvas->setSound(canvas->monitor() == primary);
  for (const QRect& monitor : free)
    open(monitor, monitor == primary);
}

void Monitors::let(Canvas& canvas, std::vector<QRect>& free) {
  if (!free.empty()) {
    canvas.moveToMonitor(free.front());
    free.erase(free.begin());
  } else if (&canvas != &first_) {
    close(canvas);
  } else if (!beside_.empty()) {
    Canvas& taken = *beside_.back();
    const QRect place = taken.monitor();
    close(taken);
    first_.moveToMonitor(place);
  }
}

void Monitors::close(Canvas& canvas) {
  canvas.hide();
  std::erase_if(beside_,
                [&](const std::unique_ptr<Canvas>& held) { return held.get() == &canvas; });
}

void Monitors::open(const QRect& monitor, bool sound) {
  beside_.push_back(
      std::make_unique<Canvas>(program_, Canvas::Beside{first_, monitor, sound, ++keys_}));
  Canvas& canvas = *beside_.back();
  canvas.show();
  if (first_.isPlaying())
    canvas.playBeside();
}

void Monitors::startBeside() {
  for (const auto& canvas : beside_) {
    if (!canvas->isPlaying())
      canvas->playBeside();
  }
}
