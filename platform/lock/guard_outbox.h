#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace platform {

// The lines the guard has for its saver and could not write yet: a socket
// that is full (a saver busy or starting) or no saver at all (between a
// crash and the next saver). A line goes in whole or not at all, and only
// whole lines reach a saver; every byte is wiped as it leaves.
class GuardOutbox {
 public:
  // Room for some hundreds of keys: more than a person types while a
  // saver starts, small enough that a saver that never reads costs little.
  static constexpr std::size_t kCapacity = 32768;

  GuardOutbox() = default;
  ~GuardOutbox();
  GuardOutbox(const GuardOutbox&) = delete;
  GuardOutbox& operator=(const GuardOutbox&) = delete;

  // False, and nothing kept, when the line does not fit.
  bool add(std::string_view line);
  // Writes as much as the socket takes now, without waiting.
  void writeTo(int socket);
  bool empty() const { return size_ == 0; }
  // The saver that was written to is gone: the rest of a line it had the
  // beginning of would be no line to the next one.
  void dropLineBegun();

 private:
  void takeFront(std::size_t count);

  std::array<char, kCapacity> bytes_{};
  std::size_t size_ = 0;
  bool lineBegun_ = false;  // the first bytes are the end of a line half written
};

}  // namespace platform
