#include "platform/lock/input_grab.h"

#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace platform {
namespace {

// How often a failed grab is tried again: often enough that a key typed
// just after a failure hardly ever escapes.
constexpr int kRetryMs = 100;

bool grab(QWidget& window) {
  QWindow* handle = window.windowHandle();
  if (!handle || !window.isVisible())
    return false;
  return handle->setKeyboardGrabEnabled(true) && handle->setMouseGrabEnabled(true);
}

void ungrab(QWidget& window) {
  if (QWindow* handle = window.windowHandle()) {
    handle->setKeyboardGrabEnabled(false);
    handle->setMouseGrabEnabled(false);
  }
}

}  // namespace

WindowSystemInputGrab::WindowSystemInputGrab() : retry_(new QTimer(this)) {
  retry_->setInterval(kRetryMs);
  connect(retry_, &QTimer::timeout, this, &WindowSystemInputGrab::attempt);
}

void WindowSystemInputGrab::hold(QWidget& window) {
  dropClosed();
  if (Holder* holder = top(); holder && holder->window == &window)
    return;
  std::erase_if(holders_, [&](const Holder& holder) { return holder.window == &window; });
  holders_.push_back({&window, false});
  attempt();
}

void WindowSystemInputGrab::release(QWidget& window) {
  dropClosed();
  const Holder* holding = top();
  const bool wasHolding = holding && holding->window == &window;
  std::erase_if(holders_, [&](const Holder& holder) { return holder.window == &window; });
  if (!wasHolding)
    return;
  if (holders_.empty()) {
    ungrab(window);
    retry_->stop();
    return;
  }
  attempt();
}

bool WindowSystemInputGrab::hasHeld(const QWidget& window) const {
  return std::any_of(holders_.begin(), holders_.end(),
                     [&](const Holder& holder) { return holder.window == &window && holder.held; });
}

WindowSystemInputGrab::Holder* WindowSystemInputGrab::top() {
  return holders_.empty() ? nullptr : &holders_.back();
}

void WindowSystemInputGrab::attempt() {
  dropClosed();
  Holder* holder = top();
  if (!holder) {
    retry_->stop();
    return;
  }
  if (grab(*holder->window)) {
    holder->held = true;
    retry_->stop();
  } else if (!retry_->isActive()) {
    retry_->start();
  }
}

void WindowSystemInputGrab::dropClosed() {
  std::erase_if(holders_, [](const Holder& holder) { return holder.window.isNull(); });
}

}  // namespace platform
