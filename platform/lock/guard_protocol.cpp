#include "platform/lock/guard_protocol.h"

#include <charconv>
#include <optional>

namespace platform {
namespace {

constexpr std::size_t kLongestLine = 32;
constexpr std::string_view kCovered = "covered ";

std::optional<GuardMessage> parse(std::string_view line) {
  if (line == "locked")
    return GuardMessage{GuardMessage::Kind::Locked};
  if (line == "unlocked")
    return GuardMessage{GuardMessage::Kind::Unlocked};
  if (line == "cannot-lock")
    return GuardMessage{GuardMessage::Kind::CannotLock};
  if (!line.starts_with(kCovered))
    return std::nullopt;
  const std::string_view number = line.substr(kCovered.size());
  std::uint32_t window = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), window);
  if (error != std::errc() || end != number.data() + number.size() || window == 0)
    return std::nullopt;
  return GuardMessage{GuardMessage::Kind::Covered, window};
}

}  // namespace

std::string guardLine(const GuardMessage& message) {
  switch (message.kind) {
    case GuardMessage::Kind::Covered:
      return std::string(kCovered) + std::to_string(message.window) + "\n";
    case GuardMessage::Kind::Locked:
      return "locked\n";
    case GuardMessage::Kind::Unlocked:
      return "unlocked\n";
    case GuardMessage::Kind::CannotLock:
      return "cannot-lock\n";
  }
  return {};
}

std::vector<GuardMessage> GuardMessageReader::take(std::string_view bytes) {
  std::vector<GuardMessage> messages;
  for (const char byte : bytes) {
    if (byte != '\n') {
      if (pending_.size() < kLongestLine)
        pending_ += byte;
      else
        skippingLongLine_ = true;
      continue;
    }
    if (!skippingLongLine_) {
      if (const std::optional<GuardMessage> message = parse(pending_))
        messages.push_back(*message);
    }
    pending_.clear();
    skippingLongLine_ = false;
  }
  return messages;
}

}  // namespace platform
