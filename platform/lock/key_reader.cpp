#include "platform/lock/key_reader.h"

#include <xkbcommon/xkbcommon.h>

namespace platform {
namespace {

// The X state mask: the eight real modifiers in its low byte (in the order
// xkbcommon numbers them too), the effective layout group in bits 13-14.
constexpr std::uint16_t kModifierBits = 0xff;
constexpr int kGroupShift = 13;
constexpr std::uint16_t kGroupBits = 3;

}  // namespace

KeyReader::~KeyReader() {
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
}

void KeyReader::useKeymap(xkb_keymap* keymap) {
  xkb_state* state = keymap ? xkb_state_new(keymap) : nullptr;
  if (keymap && !state)
    return;  // keeps the keymap it had
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  keymap_ = keymap ? xkb_keymap_ref(keymap) : nullptr;
  state_ = state;
}

void KeyReader::keysDown(std::span<const std::uint8_t, 32> bits) {
  for (std::size_t key = 0; key < down_.size(); ++key)
    down_.set(key, (bits[key / 8] >> (key % 8)) & 1);
}

GuardCommand KeyReader::read(std::uint8_t keycode, std::uint16_t state, bool pressed) {
  GuardCommand command;
  command.kind = GuardCommand::Kind::Key;
  command.pressed = pressed;
  command.repeat = pressed && down_.test(keycode);
  command.modifiers = state;
  down_.set(keycode, pressed);
  if (!state_)
    return command;
  xkb_state_update_mask(state_, state & kModifierBits, 0, 0, 0, 0,
                        (state >> kGroupShift) & kGroupBits);
  command.keysym = xkb_state_key_get_one_sym(state_, keycode);
  if (pressed) {
    std::array<char, KeyText::kCapacity + 1> text{};
    const int size = xkb_state_key_get_utf8(state_, keycode, text.data(), text.size());
    if (size > 0)
      command.text.assign({text.data(), std::min<std::size_t>(size, KeyText::kCapacity)});
    wipeBytes(text);
  }
  return command;
}

}  // namespace platform
