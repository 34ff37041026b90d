#include "platform/lock/password_change.h"

#include <cstdio>

namespace platform {

void LoginPasswordChange::change(const QString& /*provider*/, long long /*ownerWindow*/) {
  std::fputs(
      "Reelvista asks for your login password when the screen is locked; it has no password of "
      "its own.\nNothing was changed. Change your login password with passwd.\n",
      stderr);
}

}  // namespace platform
