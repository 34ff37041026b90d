#pragma once

#include <QString>

namespace platform {

// The service behind "/A". On Linux the saver's password is the login
// password, so the real service changes nothing and says so.
class PasswordChange {
 public:
  virtual ~PasswordChange() = default;
  virtual void change(const QString& provider, long long ownerWindow) = 0;
};

class LoginPasswordChange final : public PasswordChange {
 public:
  void change(const QString& provider, long long ownerWindow) override;
};

}  // namespace platform
