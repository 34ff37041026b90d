#pragma once

#include <bitset>
#include <cstdint>
#include <span>

#include "platform/lock/guard_protocol.h"

struct xkb_keymap;
struct xkb_state;

namespace platform {

// Turns the X server's key events into the keys the guard hands its saver:
// the keysym and the text each key gives in the keymap, at the modifiers and
// the layout group the server had at that key, which every key event
// carries. Nothing is carried over from one key to the next but which keys
// are down, so no modifier held when the keyboard was taken (a lock
// hotkey) sticks, and Caps Lock, Num Lock and the layout are the server's.
class KeyReader {
 public:
  KeyReader() = default;
  ~KeyReader();
  KeyReader(const KeyReader&) = delete;
  KeyReader& operator=(const KeyReader&) = delete;

  // The keymap keys are read in from now on (a reference is taken); none:
  // keys go through with neither keysym nor text.
  void useKeymap(xkb_keymap* keymap);
  // The keys down now, as the server's bit vector of keycodes says.
  void keysDown(std::span<const std::uint8_t, 32> bits);

  // A press of a key already down is the keyboard's auto-repeat.
  GuardCommand read(std::uint8_t keycode, std::uint16_t state, bool pressed);

 private:
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
  std::bitset<256> down_;
};

}  // namespace platform
