#include "platform/lock/forwarded_input.h"

#include <string.h>
#include <xcb/xproto.h>

#include <QString>
#include <QStringDecoder>
#include <utility>

namespace platform {
namespace {

// The keysyms of keys that type nothing and that the saver's windows act
// on, with their Qt names.
constexpr std::pair<std::uint32_t, Qt::Key> kFunctionKeys[] = {
    {0xff08, Qt::Key_Backspace}, {0xff09, Qt::Key_Tab},      {0xff0d, Qt::Key_Return},
    {0xff1b, Qt::Key_Escape},    {0xffff, Qt::Key_Delete},   {0xff8d, Qt::Key_Enter},
    {0xff50, Qt::Key_Home},      {0xff51, Qt::Key_Left},     {0xff52, Qt::Key_Up},
    {0xff53, Qt::Key_Right},     {0xff54, Qt::Key_Down},     {0xff57, Qt::Key_End},
    {0xff67, Qt::Key_Menu},      {0xffe1, Qt::Key_Shift},    {0xffe2, Qt::Key_Shift},
    {0xffe3, Qt::Key_Control},   {0xffe4, Qt::Key_Control},  {0xffe9, Qt::Key_Alt},
    {0xffea, Qt::Key_Alt},       {0xffeb, Qt::Key_Meta},     {0xffec, Qt::Key_Meta},
    {0xfe03, Qt::Key_AltGr},     {0xffe5, Qt::Key_CapsLock}, {0xff7f, Qt::Key_NumLock},
};

// Qt names a key that types a letter by the letter's capital.
int qtKeyOf(std::uint32_t keysym) {
  for (const auto& [known, key] : kFunctionKeys) {
    if (known == keysym)
      return key;
  }
  char32_t character = 0;
  if (keysym >= 0x20 && keysym <= 0xff)
    character = keysym;  // Latin-1 keysyms are their characters
  else if ((keysym & 0xff000000) == 0x01000000)
    character = keysym & 0x00ffffff;  // and these are Unicode
  if (character == 0)
    return Qt::Key_unknown;
  return static_cast<int>(QChar::toUpper(character));
}

Qt::KeyboardModifiers qtModifiersOf(std::uint32_t state) {
  Qt::KeyboardModifiers modifiers;
  if (state & XCB_MOD_MASK_SHIFT)
    modifiers |= Qt::ShiftModifier;
  if (state & XCB_MOD_MASK_CONTROL)
    modifiers |= Qt::ControlModifier;
  if (state & XCB_MOD_MASK_1)
    modifiers |= Qt::AltModifier;
  if (state & XCB_MOD_MASK_4)
    modifiers |= Qt::MetaModifier;
  return modifiers;
}

}  // namespace

ForwardedKey::ForwardedKey(const GuardCommand& key) {
  // Decoded straight into our buffer, which has the room the decoder asks
  // for: one unit more than the bytes.
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QByteArrayView typed(key.text.view().data(),
                             static_cast<qsizetype>(key.text.view().size()));
  const QChar* const end = decoder.appendToBuffer(text_.data(), typed);
  const QString text = QString::fromRawData(text_.data(), end - text_.data());
  event_.emplace(key.pressed ? QEvent::KeyPress : QEvent::KeyRelease, qtKeyOf(key.keysym),
                 qtModifiersOf(key.modifiers), 0, key.keysym, key.modifiers, text,
                 key.pressed && key.repeat);
}

ForwardedKey::~ForwardedKey() {
  event_.reset();
  ::explicit_bzero(text_.data(), sizeof text_);
}

Qt::MouseButton mouseButtonFor(std::uint32_t button) {
  switch (button) {
    case 1:
      return Qt::LeftButton;
    case 2:
      return Qt::MiddleButton;
    case 3:
      return Qt::RightButton;
    case 8:
      return Qt::BackButton;
    case 9:
      return Qt::ForwardButton;
    default:
      return Qt::NoButton;
  }
}

}  // namespace platform
