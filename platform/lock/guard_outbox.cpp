#include "platform/lock/guard_outbox.h"

#include <string.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace platform {

GuardOutbox::~GuardOutbox() {
  ::explicit_bzero(bytes_.data(), bytes_.size());
}

bool GuardOutbox::add(std::string_view line) {
  if (line.size() > bytes_.size() - size_)
    return false;
  std::copy(line.begin(), line.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(size_));
  size_ += line.size();
  return true;
}

void GuardOutbox::writeTo(int socket) {
  while (size_ > 0) {
    const ssize_t sent = ::send(socket, bytes_.data(), size_, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno == EINTR)
      continue;
    if (sent <= 0)
      return;  // full, or the saver is gone: its end is seen elsewhere
    const auto count = static_cast<std::size_t>(sent);
    lineBegun_ = bytes_[count - 1] != '\n';
    takeFront(count);
  }
}

void GuardOutbox::dropLineBegun() {
  if (!lineBegun_)
    return;
  const auto end =
      std::find(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(size_), '\n');
  takeFront(std::min<std::size_t>(static_cast<std::size_t>(end - bytes_.begin()) + 1, size_));
  lineBegun_ = false;
}

void GuardOutbox::takeFront(std::size_t count) {
  std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(count),
            bytes_.begin() + static_cast<std::ptrdiff_t>(size_), bytes_.begin());
  size_ -= count;
  ::explicit_bzero(bytes_.data() + size_, count);
}

}  // namespace platform
