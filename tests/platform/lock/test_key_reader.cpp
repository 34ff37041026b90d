// The guard's reading of keys, from the server's key events as they come
// (keycode, the state mask at the key) with a keymap of the machine's own
// layouts: US English and German, the second group.
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include "platform/lock/key_reader.h"

using platform::GuardCommand;
using platform::KeyReader;

namespace {

// evdev keycodes and X state bits.
constexpr std::uint8_t kA = 38, kY = 29, kControl = 37, kKeypad1 = 87, kReturn = 36;
constexpr std::uint16_t kShift = 1, kLock = 2, kCtrl = 4, kNumLock = 0x10, kGroup2 = 1 << 13;

xkb_keymap* usAndGerman() {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names names{"evdev", "pc105", "us,de", "", ""};
  xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  xkb_context_unref(context);
  return keymap;
}

struct Read {
  std::uint32_t keysym;
  std::string text;
  bool repeat;
};

Read read(KeyReader& keys, std::uint8_t keycode, std::uint16_t state, bool pressed = true) {
  const GuardCommand key = keys.read(keycode, state, pressed);
  EXPECT_EQ(key.modifiers, state) << "the server's state, as it was at the key";
  return {key.keysym, std::string(key.text.view()), key.repeat};
}

}  // namespace

// Each key is read at the state the server gives with it, whatever keys
// went before: a Control held when the keyboard was taken and let go
// unseen, Shift, Caps Lock, Num Lock, the second layout.
TEST(KeyReader, EachKeyIsReadAtTheServersStateAtThatKey) {
  xkb_keymap* keymap = usAndGerman();
  ASSERT_NE(keymap, nullptr);
  KeyReader keys;
  keys.useKeymap(keymap);
  xkb_keymap_unref(keymap);
  std::array<std::uint8_t, 32> down{};
  down[kControl / 8] = 1 << (kControl % 8);
  keys.keysDown(down);  // a lock hotkey's Control, let go before the grab

  const struct {
    std::uint8_t keycode;
    std::uint16_t state;
    std::uint32_t keysym;
    std::string text;
  } cases[] = {
      {kA, 0, 'a', "a"},
      {kA, kCtrl, 'a', "\x01"},  // a Control held now is one
      {kA, kShift, 'A', "A"},
      {kA, kLock, 'A', "A"},
      {kA, kLock | kShift, 'a', "a"},
      {kY, 0, 'y', "y"},
      {kY, kGroup2, 'z', "z"},
      {kY, kGroup2 | kShift, 'Z', "Z"},
      {kKeypad1, kNumLock, XKB_KEY_KP_1, "1"},
      {kKeypad1, 0, XKB_KEY_KP_End, ""},
      {kReturn, 0, XKB_KEY_Return, "\r"},
  };
  for (const auto& key : cases) {
    const Read pressed = read(keys, key.keycode, key.state);
    EXPECT_EQ(pressed.keysym, key.keysym) << key.text;
    EXPECT_EQ(pressed.text, key.text);
    EXPECT_FALSE(pressed.repeat) << key.text;
    const Read released = read(keys, key.keycode, key.state, false);
    EXPECT_EQ(released.keysym, key.keysym) << key.text;
    EXPECT_EQ(released.text, "") << "a key's text is typed as it goes down";
  }
}

// A key held down repeats as presses without releases; the repeats are
// marked, a key held since before the keyboard was taken included.
TEST(KeyReader, PressesOfAKeyAlreadyDownAreRepeats) {
  KeyReader keys;  // no keymap: keys still go through, as keys
  std::array<std::uint8_t, 32> down{};
  down[kY / 8] = 1 << (kY % 8);
  keys.keysDown(down);
  EXPECT_TRUE(read(keys, kY, 0).repeat) << "held since before";
  EXPECT_FALSE(read(keys, kA, 0).repeat);
  EXPECT_TRUE(read(keys, kA, 0).repeat);
  EXPECT_TRUE(read(keys, kA, 0).repeat);
  read(keys, kA, 0, false);
  const Read again = read(keys, kA, 0);
  EXPECT_FALSE(again.repeat) << "pressed anew";
  EXPECT_EQ(again.keysym, 0u);
  EXPECT_EQ(again.text, "");
}
