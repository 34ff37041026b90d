#pragma once

#include <QKeyEvent>
#include <array>
#include <optional>

#include "platform/lock/guard_protocol.h"

namespace platform {

// The Qt key event for a key the guard handed over: the key's code as Qt
// names it, the modifiers the server had at that key, whether it is the
// keyboard's repeat, and the text the keyboard's layout gave. The event's
// text lies in this object's own buffer, not in memory Qt allocates, and is
// wiped with it: it may be part of a password. Receivers read it while the
// event is delivered and keep no copy.
class ForwardedKey {
 public:
  explicit ForwardedKey(const GuardCommand& key);
  ~ForwardedKey();
  ForwardedKey(const ForwardedKey&) = delete;
  ForwardedKey& operator=(const ForwardedKey&) = delete;

  QKeyEvent& event() { return *event_; }

 private:
  std::array<QChar, KeyText::kCapacity + 1> text_{};  // as much as the decoder asks
  std::optional<QKeyEvent> event_;
};

// The Qt button for an X pointer button; Qt::NoButton for the wheel's
// "buttons", which are no press of a button.
Qt::MouseButton mouseButtonFor(std::uint32_t button);

}  // namespace platform
