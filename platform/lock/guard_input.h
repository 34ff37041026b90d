#pragma once

#include <xcb/xcb.h>

#include <optional>

#include "platform/lock/guard_protocol.h"
#include "platform/lock/key_reader.h"

struct xkb_context;

namespace platform {

// Turns the keys and buttons the guard's grab brings it into lines for its
// saver: a key with its keysym and its text as the keyboard's layout gives
// them (see KeyReader), a button press with where it went down. Follows the
// server's keymap as it changes (a new layout, a new keyboard).
class GuardInput {
 public:
  explicit GuardInput(xcb_connection_t* connection);
  ~GuardInput();
  GuardInput(const GuardInput&) = delete;
  GuardInput& operator=(const GuardInput&) = delete;

  // Learns which keys are down now: a key held since before the grab that
  // repeats is no new press. Asked once the keyboard is held.
  void learnKeysDown();

  // The line for an input event; nothing for any other event.
  std::optional<GuardCommand> read(const xcb_generic_event_t& event);

 private:
  void loadKeymap();
  void onXkbEvent(const xcb_generic_event_t& event);

  xcb_connection_t* connection_;
  xkb_context* context_ = nullptr;
  std::int32_t device_ = -1;
  std::uint8_t xkbEvents_ = 0;  // the first XKB event code, 0 without XKB
  KeyReader keys_;
};

}  // namespace platform
