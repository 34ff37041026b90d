#include "platform/lock/guard_protocol.h"

#include <string.h>

#include <algorithm>
#include <charconv>

namespace platform {
namespace {

// The words of a line, split at single blanks; an empty word (two blanks,
// a blank at either end) makes the line no message.
std::optional<std::vector<std::string_view>> words(std::string_view line) {
  std::vector<std::string_view> split;
  while (true) {
    const std::size_t blank = line.find(' ');
    split.push_back(line.substr(0, blank));
    if (split.back().empty())
      return std::nullopt;
    if (blank == std::string_view::npos)
      return split;
    line.remove_prefix(blank + 1);
  }
}

template <typename Number>
std::optional<Number> number(std::string_view text, int base = 10) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

std::optional<bool> flag(std::string_view text) {
  if (text == "0" || text == "1")
    return text == "1";
  return std::nullopt;
}

std::optional<unsigned> hexDigit(char digit) {
  if (digit >= '0' && digit <= '9')
    return digit - '0';
  if (digit >= 'a' && digit <= 'f')
    return digit - 'a' + 10;
  return std::nullopt;
}

// Decodes straight into the key's text; "-" is no text.
bool fromHex(std::string_view hex, KeyText& text) {
  text.wipe();
  if (hex == "-")
    return true;
  std::array<char, KeyText::kCapacity> bytes{};
  const std::size_t size = hex.size() / 2;
  bool good = hex.size() % 2 == 0 && size <= bytes.size();
  for (std::size_t at = 0; good && at < size; ++at) {
    const std::optional<unsigned> high = hexDigit(hex[2 * at]);
    const std::optional<unsigned> low = hexDigit(hex[2 * at + 1]);
    good = high && low;
    if (good)
      bytes[at] = static_cast<char>(*high << 4 | *low);
  }
  if (good)
    text.assign({bytes.data(), size});
  wipeBytes(bytes);
  return good;
}

std::optional<GuardMessage> windowMessage(GuardMessage::Kind kind, std::string_view id) {
  const std::optional<std::uint32_t> window = number<std::uint32_t>(id);
  if (!window || *window == 0)
    return std::nullopt;
  return GuardMessage{kind, *window};
}

std::optional<GuardCommand> startCommand(const std::vector<std::string_view>& split) {
  const std::optional<bool> locked = flag(split[1]);
  const std::optional<bool> nothing = flag(split[2]);
  const std::optional<std::uint32_t> stage = number<std::uint32_t>(split[3]);
  if (!locked || !nothing || !stage)
    return std::nullopt;
  GuardCommand command;
  command.locked = *locked;
  command.playNothing = *nothing;
  command.stage = *stage;
  return command;
}

std::optional<GuardCommand> keyCommand(const std::vector<std::string_view>& split) {
  const std::optional<bool> pressed = flag(split[1]);
  const std::optional<bool> repeat = flag(split[2]);
  const std::optional<std::uint32_t> keysym = number<std::uint32_t>(split[3], 16);
  const std::optional<std::uint32_t> modifiers = number<std::uint32_t>(split[4], 16);
  if (!pressed || !repeat || !keysym || !modifiers)
    return std::nullopt;
  std::optional<GuardCommand> command(std::in_place);
  if (!fromHex(split[5], command->text))
    return std::nullopt;
  command->kind = GuardCommand::Kind::Key;
  command->pressed = *pressed;
  command->repeat = *repeat;
  command->keysym = *keysym;
  command->modifiers = *modifiers;
  return command;
}

std::optional<GuardCommand> buttonCommand(const std::vector<std::string_view>& split) {
  const std::optional<std::uint32_t> button = number<std::uint32_t>(split[1]);
  const std::optional<std::int32_t> x = number<std::int32_t>(split[2]);
  const std::optional<std::int32_t> y = number<std::int32_t>(split[3]);
  if (!button || !x || !y)
    return std::nullopt;
  GuardCommand command;
  command.kind = GuardCommand::Kind::Button;
  command.button = *button;
  command.x = *x;
  command.y = *y;
  return command;
}

}  // namespace

KeyText& KeyText::operator=(const KeyText& other) {
  if (this != &other)
    assign(other.view());
  return *this;
}

KeyText& KeyText::operator=(std::string_view text) {
  assign(text);
  return *this;
}

void KeyText::assign(std::string_view text) {
  wipe();
  size_ = std::min(text.size(), bytes_.size());
  std::copy_n(text.data(), size_, bytes_.data());
}

void KeyText::wipe() {
  wipeBytes(bytes_);
  size_ = 0;
}

GuardCommand::~GuardCommand() {
  ::explicit_bzero(&keysym, sizeof keysym);
}

GuardLine::GuardLine(const GuardCommand& command) {
  switch (command.kind) {
    case GuardCommand::Kind::Start:
      put("start ");
      put(command.locked ? "1 " : "0 ");
      put(command.playNothing ? "1 " : "0 ");
      put(command.stage);
      break;
    case GuardCommand::Kind::Key:
      put("key ");
      put(command.pressed ? "1 " : "0 ");
      put(command.repeat ? "1 " : "0 ");
      put(command.keysym, 16);
      put(" ");
      put(command.modifiers, 16);
      put(" ");
      if (command.text.empty())
        put("-");
      for (const char byte : command.text.view())
        putHex(static_cast<std::uint8_t>(byte));
      break;
    case GuardCommand::Kind::Button:
      put("button ");
      put(command.button);
      put(" ");
      put(command.x);
      put(" ");
      put(command.y);
      break;
  }
  put("\n");
}

GuardLine::~GuardLine() {
  wipeBytes(bytes_);
}

void GuardLine::put(std::string_view text) {
  for (const char byte : text)
    bytes_[size_++] = byte;
}

void GuardLine::put(std::uint32_t number, int base) {
  const auto [end, error] =
      std::to_chars(bytes_.data() + size_, bytes_.data() + bytes_.size(), number, base);
  size_ = static_cast<std::size_t>(end - bytes_.data());
}

void GuardLine::putHex(std::uint8_t byte) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  bytes_[size_++] = kDigits[byte >> 4];
  bytes_[size_++] = kDigits[byte & 15];
}

void GuardLine::put(std::int32_t number) {
  const auto [end, error] =
      std::to_chars(bytes_.data() + size_, bytes_.data() + bytes_.size(), number);
  size_ = static_cast<std::size_t>(end - bytes_.data());
}

std::string guardLine(const GuardMessage& message) {
  const std::string window = std::to_string(message.window);
  switch (message.kind) {
    case GuardMessage::Kind::Covered:
      return "covered " + window + "\n";
    case GuardMessage::Kind::Shows:
      return "shows " + window + "\n";
    case GuardMessage::Kind::Hides:
      return "hides " + window + "\n";
    case GuardMessage::Kind::Unlocked:
      return "unlocked\n";
  }
  return {};
}

std::optional<GuardMessage> parseGuardMessage(std::string_view line) {
  if (line == "unlocked")
    return GuardMessage{GuardMessage::Kind::Unlocked};
  const auto split = words(line);
  if (!split || split->size() != 2)
    return std::nullopt;
  const std::string_view word = split->front();
  if (word == "covered")
    return windowMessage(GuardMessage::Kind::Covered, (*split)[1]);
  if (word == "shows")
    return windowMessage(GuardMessage::Kind::Shows, (*split)[1]);
  if (word == "hides")
    return windowMessage(GuardMessage::Kind::Hides, (*split)[1]);
  return std::nullopt;
}

std::optional<GuardCommand> parseGuardCommand(std::string_view line) {
  const auto split = words(line);
  if (!split)
    return std::nullopt;
  const std::string_view word = split->front();
  if (word == "start" && split->size() == 4)
    return startCommand(*split);
  if (word == "key" && split->size() == 6)
    return keyCommand(*split);
  if (word == "button" && split->size() == 4)
    return buttonCommand(*split);
  return std::nullopt;
}

void wipeBytes(std::span<char> bytes) {
  ::explicit_bzero(bytes.data(), bytes.size());
}

void wipeBytes(std::string& bytes) {
  ::explicit_bzero(bytes.data(), bytes.size());
  bytes.clear();
}

}  // namespace platform
