#include "platform/lock/guard_input.h"

#include <string.h>
#include <xkbcommon/xkbcommon-x11.h>

namespace platform {

GuardInput::GuardInput(xcb_connection_t* connection) : connection_(connection) {
  context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context_ && xkb_x11_setup_xkb_extension(
                      connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                      XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
    device_ = xkb_x11_get_core_keyboard_device_id(connection_);
  }
  loadLayout();
}

GuardInput::~GuardInput() {
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

// Without a layout (no XKB on the server) keys still go through, without
// keysym or text: the saver still sees that a key was pressed.
void GuardInput::loadLayout() {
  if (device_ < 0)
    return;
  xkb_keymap* keymap =
      xkb_x11_keymap_new_from_device(context_, connection_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap)
    return;
  xkb_state* state = xkb_x11_state_new_from_device(keymap, connection_, device_);
  if (!state) {
    xkb_keymap_unref(keymap);
    return;
  }
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  keymap_ = keymap;
  state_ = state;
}

std::optional<GuardCommand> GuardInput::read(const xcb_generic_event_t& event) {
  switch (event.response_type & ~0x80) {
    case XCB_KEY_PRESS:
      return key(reinterpret_cast<const xcb_key_press_event_t&>(event), true);
    case XCB_KEY_RELEASE:
      return key(reinterpret_cast<const xcb_key_press_event_t&>(event), false);
    case XCB_BUTTON_PRESS: {
      const auto& button = reinterpret_cast<const xcb_button_press_event_t&>(event);
      GuardCommand command;
      command.kind = GuardCommand::Kind::Button;
      command.button = button.detail;
      command.x = button.root_x;
      command.y = button.root_y;
      return command;
    }
    case XCB_MAPPING_NOTIFY:
      loadLayout();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

GuardCommand GuardInput::key(const xcb_key_press_event_t& event, bool pressed) {
  GuardCommand command;
  command.kind = GuardCommand::Kind::Key;
  command.pressed = pressed;
  command.modifiers = event.state;
  if (!state_)
    return command;
  command.keysym = xkb_state_key_get_one_sym(state_, event.detail);
  if (pressed) {
    char text[64] = {};
    xkb_state_key_get_utf8(state_, event.detail, text, sizeof text);
    command.text = text;
    ::explicit_bzero(text, sizeof text);
  }
  xkb_state_update_key(state_, event.detail, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
  return command;
}

}  // namespace platform
