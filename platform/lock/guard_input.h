#pragma once

#include <xcb/xcb.h>

#include <optional>

#include "platform/lock/guard_protocol.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace platform {

// Turns the keys and buttons the guard's grab brings it into lines for its
// saver: a key with its keysym and its text as the keyboard's layout gives
// them (xkbcommon keeps the layout and the modifiers' state), a button press
// with where it went down.
class GuardInput {
 public:
  explicit GuardInput(xcb_connection_t* connection);
  ~GuardInput();
  GuardInput(const GuardInput&) = delete;
  GuardInput& operator=(const GuardInput&) = delete;

  // The line for an input event; nothing for any other event. Follows
  // changes of the keyboard's layout as it sees them.
  std::optional<GuardCommand> read(const xcb_generic_event_t& event);

 private:
  void loadLayout();
  GuardCommand key(const xcb_key_press_event_t& event, bool pressed);

  xcb_connection_t* connection_;
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
  std::int32_t device_ = -1;
};

}  // namespace platform
