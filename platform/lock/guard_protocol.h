#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
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

// The text one key typed, held in place: copies are whole copies of the few
// bytes, and every copy is overwritten as it goes, so no allocation ever
// holds what was typed at the password prompt.
class KeyText {
 public:
  // More than any one key types (a key gives a character or a few).
  static constexpr std::size_t kCapacity = 32;

  KeyText() = default;
  KeyText(const KeyText& other) { assign(other.view()); }
  KeyText& operator=(const KeyText& other);
  KeyText& operator=(std::string_view text);
  ~KeyText() { wipe(); }

  // Holds as much of the text as fits.
  void assign(std::string_view text);
  void wipe();
  std::string_view view() const { return {bytes_.data(), size_}; }
  bool empty() const { return size_ == 0; }

  bool operator==(const KeyText& other) const { return view() == other.view(); }

 private:
  std::array<char, kCapacity> bytes_{};
  std::size_t size_ = 0;
};

// What the guard tells its saver:
//   "start <locked> <nothing> <stage>"  first, once: whether the run is
//       locked, whether to play nothing, and the window the saver's windows
//       go into while locked (0: none)
//   "key <pressed> <repeat> <keysym> <modifiers> <text as hex>"  a key went
//       down (1) or up (0), by the keyboard's auto-repeat (1) or by a
//       finger; the modifiers are the X state mask at that key
//   "button <number> <x> <y>"  a pointer button went down at that place
struct GuardCommand {
  enum class Kind { Start, Key, Button };
  Kind kind = Kind::Start;
  bool locked = false;          // start
  bool playNothing = false;     // start
  std::uint32_t stage = 0;      // start
  bool pressed = false;         // key
  bool repeat = false;          // key: a press of a key already down
  std::uint32_t keysym = 0;     // key
  std::uint32_t modifiers = 0;  // key
  KeyText text;                 // key, UTF-8
  std::uint32_t button = 0;     // button
  std::int32_t x = 0, y = 0;    // button

  GuardCommand() = default;
  GuardCommand(const GuardCommand&) = default;
  GuardCommand& operator=(const GuardCommand&) = default;
  // The keysym says which character was typed as well as the text does.
  ~GuardCommand();

  bool operator==(const GuardCommand&) const = default;
};

// The longest line either side writes.
inline constexpr std::size_t kLongestGuardLine = 160;

// One command as a line, in a buffer of its own that is wiped as it goes.
class GuardLine {
 public:
  explicit GuardLine(const GuardCommand& command);
  ~GuardLine();
  GuardLine(const GuardLine&) = delete;
  GuardLine& operator=(const GuardLine&) = delete;

  std::string_view view() const { return {bytes_.data(), size_}; }

 private:
  void put(std::string_view text);
  void put(std::uint32_t number, int base = 10);
  void put(std::int32_t number);
  void putHex(std::uint8_t byte);

  std::array<char, kLongestGuardLine> bytes_{};
  std::size_t size_ = 0;
};

std::string guardLine(const GuardMessage& message);
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
  ~LineReader() { reset(); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Forgets a line begun: a new stream starts.
  void reset();

  // Hands each line ended in these bytes to `take`, in order.
  template <typename Take>
  void take(std::string_view bytes, Take&& take);

  std::vector<Line> take(std::string_view bytes) {
    std::vector<Line> lines;
    take(bytes, [&lines](Line&& line) { lines.push_back(std::move(line)); });
    return lines;
  }

 private:
  Parser parse_;
  std::array<char, kLongestGuardLine> pending_{};
  std::size_t size_ = 0;
  bool skippingLongLine_ = false;
};

// Overwrites the bytes where they lie.
void wipeBytes(std::span<char> bytes);
void wipeBytes(std::string& bytes);

template <typename Line>
void LineReader<Line>::reset() {
  wipeBytes(pending_);
  size_ = 0;
  skippingLongLine_ = false;
}

template <typename Line>
template <typename Take>
void LineReader<Line>::take(std::string_view bytes, Take&& take) {
  for (const char byte : bytes) {
    if (byte != '\n') {
      if (size_ < pending_.size())
        pending_[size_++] = byte;
      else
        skippingLongLine_ = true;
      continue;
    }
    if (!skippingLongLine_) {
      if (std::optional<Line> line = parse_({pending_.data(), size_}))
        take(std::move(*line));
    }
    reset();
  }
}

using GuardMessageReader = LineReader<GuardMessage>;
using GuardCommandReader = LineReader<GuardCommand>;

}  // namespace platform
