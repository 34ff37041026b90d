#include "platform/lock/guard_input.h"

// xcb's XKB header names a field "explicit", which C++ reserves.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>
#include <memory>

namespace platform {

GuardInput::GuardInput(xcb_connection_t* connection) : connection_(connection) {
  context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (!context_ || !xkb_x11_setup_xkb_extension(connection_, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                                XKB_X11_MIN_MINOR_XKB_VERSION,
                                                XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr,
                                                nullptr, &xkbEvents_, nullptr)) {
    return;
  }
  device_ = xkb_x11_get_core_keyboard_device_id(connection_);
  if (device_ < 0)
    return;
  const auto device = static_cast<xcb_xkb_device_spec_t>(device_);
  // A new layout or a new keyboard is a new keymap to read keys in.
  constexpr std::uint16_t kKeymapEvents =
      XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
  xcb_xkb_select_events(connection_, device, kKeymapEvents, 0, kKeymapEvents, 0xff, 0xff, nullptr);
  // A key held down then comes as presses without releases between them,
  // which tells the keyboard's repeats from a finger's.
  constexpr std::uint32_t kRepeats = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
  std::free(xcb_xkb_per_client_flags_reply(
      connection_, xcb_xkb_per_client_flags(connection_, device, kRepeats, kRepeats, 0, 0, 0),
      nullptr));
  loadKeymap();
}

GuardInput::~GuardInput() {
  keys_.useKeymap(nullptr);
  xkb_context_unref(context_);
}

// Without a keymap (no XKB on the server) keys still go through, without
// keysym or text: the saver still sees that a key was pressed.
void GuardInput::loadKeymap() {
  if (device_ < 0)
    return;
  xkb_keymap* keymap =
      xkb_x11_keymap_new_from_device(context_, connection_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap)
    return;  // the one before stays
  keys_.useKeymap(keymap);
  xkb_keymap_unref(keymap);
}

void GuardInput::learnKeysDown() {
  const std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> down(
      xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr), &std::free);
  if (down)
    keys_.keysDown(down->keys);
}

std::optional<GuardCommand> GuardInput::read(const xcb_generic_event_t& event) {
  const int type = event.response_type & ~0x80;
  switch (type) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
      const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
      return keys_.read(key.detail, key.state, type == XCB_KEY_PRESS);
    }
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
      loadKeymap();
      return std::nullopt;
    default:
      if (xkbEvents_ != 0 && type == xkbEvents_)
        onXkbEvent(event);
      return std::nullopt;
  }
}

void GuardInput::onXkbEvent(const xcb_generic_event_t& event) {
  const auto& any = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t&>(event);
  if (any.deviceID != device_)
    return;
  if (any.xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || any.xkbType == XCB_XKB_MAP_NOTIFY)
    loadKeymap();
}

}  // namespace platform
