#pragma once

#include <QStringList>
#include <cstdint>
#include <functional>

#include "platform/lock/guard_link.h"
#include "platform/lock/password_prompt.h"
#include "platform/lock/user_registry.h"

namespace platform::scripted {

// The per-user store, held in memory. Values are kept as the file would
// give them; `reads` counts the look-ups.
class ScriptedUserRegistry final : public UserRegistry {
 public:
  RegistryValues values;
  mutable int reads = 0;

  void setDword(const QString& key, const QString& name, std::uint32_t number);
  void setString(const QString& key, const QString& name, const QString& text);
  // "ScreenSaveUsePassword" under "Control Panel\Desktop" as a dword.
  void requirePassword(std::uint32_t number = 1);

  std::optional<QByteArray> value(const QString& key, const QString& name) const override;
};

// The password prompt: answers as `passes` says, recording the owner of
// every prompt. `onVerify` runs while the prompt "is open".
class ScriptedPasswordPrompt final : public PasswordPrompt {
 public:
  bool passes = true;
  std::vector<QWidget*> owners;  // one entry per prompt shown
  std::function<void(QWidget& owner)> onVerify;

  bool verify(QWidget& owner) override;
};

// The line to the guard: records "covered <id>", "unlocked", and "input to
// <object name>" and "input from <object name>" as windows take and let go
// of the keys the guard hands over.
class ScriptedGuardLink final : public GuardLink {
 public:
  QStringList sent;
  bool lockedByTheGuard = false;
  bool nothingToPlay = false;
  std::vector<QWidget*> receivers;  // the last one takes the keys

  bool locked() const override { return lockedByTheGuard; }
  bool playNothing() const override { return nothingToPlay; }
  void covered(std::uint32_t window) override { sent << QStringLiteral("covered %1").arg(window); }
  void unlocked() override { sent << QStringLiteral("unlocked"); }
  void takeInput(QWidget& receiver) override;
  void releaseInput(QWidget& receiver) override;
};

}  // namespace platform::scripted
