#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What the saver tells the guard that started it, one line each:
//   "covered <window id>"  the playback window covers the screen
//   "locked"               a password is required; the input grab is taken next
//   "unlocked"             the password passed (or none was asked); it ends now
//   "cannot-lock"          the input grab never held; it ends now
struct GuardMessage {
  enum class Kind { Covered, Locked, Unlocked, CannotLock };
  Kind kind = Kind::Covered;
  std::uint32_t window = 0;  // of "covered"

  bool operator==(const GuardMessage&) const = default;
};

std::string guardLine(const GuardMessage& message);

// Reads the saver's lines as they arrive, in pieces of any size. Lines it
// does not know, and lines too long to be any message, are passed over.
class GuardMessageReader {
 public:
  std::vector<GuardMessage> take(std::string_view bytes);

 private:
  std::string pending_;
  bool skippingLongLine_ = false;
};

}  // namespace platform
