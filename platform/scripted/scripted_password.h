#pragma once

#include <QStringList>
#include <cstdint>
#include <functional>

#include "platform/lock/guard_link.h"
#include "platform/lock/input_grab.h"
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

// The input grab: records "hold <object name>" and "release <object name>"
// and holds at once.
class ScriptedInputGrab final : public InputGrab {
 public:
  QStringList calls;
  std::vector<const QWidget*> holding;

  void hold(QWidget& window) override;
  void release(QWidget& window) override;
  bool hasHeld(const QWidget& window) const override;
};

// The line to the guard: records "covered <id>", "locked", "unlocked" and
// "cannot-lock".
class ScriptedGuardLink final : public GuardLink {
 public:
  QStringList sent;
  bool nothingToPlay = false;

  void covered(std::uint32_t window) override { sent << QStringLiteral("covered %1").arg(window); }
  void locked() override { sent << QStringLiteral("locked"); }
  void unlocked() override { sent << QStringLiteral("unlocked"); }
  void cannotLock() override { sent << QStringLiteral("cannot-lock"); }
  bool playNothing() const override { return nothingToPlay; }
};

}  // namespace platform::scripted
