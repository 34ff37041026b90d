#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What the saver tells the guard that started it, one line each:
//   "covered <window id>"  the playback window covers the screen
//   "shows <window id>"    a window of the saver's goes on screen
//   "hides <window id>"    it leaves the screen of the saver's own accord
//   "unlocked"             the password passed (or none was asked); it ends now
struct GuardMessage {
  enum class Kind { Covered, Shows, Hides, Unlocked };
  Kind kind = Kind::Covered;
  std::uint32_t window = 0;  // of all but "unlocked"

  bool operator==(const GuardMessage&) const = default;
};

// What the guard tells its saver:
//   "start <locked> <nothing> <stage>"  first, once: whether the run is
//       locked, whether to play nothing, and the window the saver's windows
//       go into while locked (0: none)
//   "key <pressed> <keysym> <modifiers> <text as hex>"  a key went down (1)
//       or up (0); the modifiers are the X state mask
//   "button <number> <x> <y>"  a pointer button went down at that place
struct GuardCommand {
  enum class Kind { Start, Key, Button };
  Kind kind = Kind::Start;
  bool locked = false;          // start
  bool playNothing = false;     // start
  std::uint32_t stage = 0;      // start
  bool pressed = false;         // key
  std::uint32_t keysym = 0;     // key
  std::uint32_t modifiers = 0;  // key
  std::string text;             // key, UTF-8
  std::uint32_t button = 0;     // button
  std::int32_t x = 0, y = 0;    // button

  bool operator==(const GuardCommand&) const = default;
};

std::string guardLine(const GuardMessage& message);
std::string guardLine(const GuardCommand& command);
std::optional<GuardMessage> parseGuardMessage(std::string_view line);
std::optional<GuardCommand> parseGuardCommand(std::string_view line);

// Reads lines as they arrive, in pieces of any size, and hands each whole
// one to the parser. Lines the parser does not know, and lines too long to
// be any message, are passed over. What it held is wiped as it goes: the
// lines carry what is typed at the password prompt.
template <typename Line>
class LineReader {
 public:
  using Parser = std::optional<Line> (*)(std::string_view);
  explicit LineReader(Parser parse) : parse_(parse) {}
  ~LineReader() { wipe(); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Forgets a line begun: a new stream starts.
  void reset() {
    wipe();
    skippingLongLine_ = false;
  }

  std::vector<Line> take(std::string_view bytes) {
    std::vector<Line> lines;
    for (const char byte : bytes) {
      if (byte != '\n') {
        if (pending_.size() < kLongestLine)
          pending_ += byte;
        else
          skippingLongLine_ = true;
        continue;
      }
      if (!skippingLongLine_) {
        if (std::optional<Line> line = parse_(pending_))
          lines.push_back(std::move(*line));
      }
      wipe();
      skippingLongLine_ = false;
    }
    return lines;
  }

 private:
  static constexpr std::size_t kLongestLine = 160;
  void wipe();

  Parser parse_;
  std::string pending_;
  bool skippingLongLine_ = false;
};

// Overwrites the bytes before they are let go.
void wipeBytes(std::string& bytes);

template <typename Line>
void LineReader<Line>::wipe() {
  wipeBytes(pending_);
}

using GuardMessageReader = LineReader<GuardMessage>;
using GuardCommandReader = LineReader<GuardCommand>;

}  // namespace platform
