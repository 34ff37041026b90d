#include "platform/lock/guard_protocol.h"

#include <string.h>

#include <charconv>
#include <sstream>

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

std::optional<std::string> fromHex(std::string_view hex) {
  if (hex == "-")
    return std::string();
  if (hex.size() % 2 != 0)
    return std::nullopt;
  std::string bytes;
  for (std::size_t at = 0; at < hex.size(); at += 2) {
    const std::optional<unsigned> byte = number<unsigned>(hex.substr(at, 2), 16);
    if (!byte)
      return std::nullopt;
    bytes += static_cast<char>(*byte);
  }
  return bytes;
}

std::string toHex(const std::string& bytes) {
  if (bytes.empty())
    return "-";
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    hex += kDigits[value >> 4];
    hex += kDigits[value & 15];
  }
  return hex;
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
  const std::optional<std::uint32_t> keysym = number<std::uint32_t>(split[2], 16);
  const std::optional<std::uint32_t> modifiers = number<std::uint32_t>(split[3], 16);
  std::optional<std::string> text = fromHex(split[4]);
  if (!pressed || !keysym || !modifiers || !text)
    return std::nullopt;
  GuardCommand command;
  command.kind = GuardCommand::Kind::Key;
  command.pressed = *pressed;
  command.keysym = *keysym;
  command.modifiers = *modifiers;
  command.text = std::move(*text);
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

std::string guardLine(const GuardCommand& command) {
  std::ostringstream line;
  switch (command.kind) {
    case GuardCommand::Kind::Start:
      line << "start " << command.locked << ' ' << command.playNothing << ' ' << command.stage;
      break;
    case GuardCommand::Kind::Key:
      line << "key " << command.pressed << std::hex << ' ' << command.keysym << ' '
           << command.modifiers << ' ' << toHex(command.text);
      break;
    case GuardCommand::Kind::Button:
      line << "button " << command.button << ' ' << command.x << ' ' << command.y;
      break;
  }
  line << '\n';
  return line.str();
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
  if (word == "key" && split->size() == 5)
    return keyCommand(*split);
  if (word == "button" && split->size() == 4)
    return buttonCommand(*split);
  return std::nullopt;
}

void wipeBytes(std::string& bytes) {
  ::explicit_bzero(bytes.data(), bytes.size());
  bytes.clear();
}

}  // namespace platform
