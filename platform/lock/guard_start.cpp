#include "platform/lock/guard_start.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/files/files.h"
#include "platform/lock/user_registry.h"

namespace platform {

bool lockAskedFor() {
  return usesPassword(FileUserRegistry());
}

bool onXWayland(xcb_connection_t* connection) {
  constexpr const char* kName = "XWAYLAND";
  const std::unique_ptr<xcb_query_extension_reply_t, decltype(&std::free)> reply(
      xcb_query_extension_reply(
          connection,
          xcb_query_extension(connection, static_cast<std::uint16_t>(std::strlen(kName)), kName),
          nullptr),
      &std::free);
  return reply && reply->present;
}

LockedRunClaim::LockedRunClaim() {
  const QByteArray path = (userRuntimeFolder() + "/reelvista-locked").toLocal8Bit();
  const int descriptor = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0)
    return;
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    heldElsewhere_ = errno == EWOULDBLOCK;
    ::close(descriptor);
    return;
  }
  descriptor_ = descriptor;
}

LockedRunClaim::~LockedRunClaim() {
  if (descriptor_ >= 0)
    ::close(descriptor_);
}

}  // namespace platform
