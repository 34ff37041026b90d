#include "platform/scripted/scripted_password.h"

#include <QWidget>
#include <algorithm>

namespace platform::scripted {

void ScriptedUserRegistry::setDword(const QString& key, const QString& name, std::uint32_t number) {
  QByteArray bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  values.insert(registryPath(key, name), bytes);
}

void ScriptedUserRegistry::setString(const QString& key, const QString& name, const QString& text) {
  values.insert(registryPath(key, name), text.toUtf8() + '\0');
}

void ScriptedUserRegistry::requirePassword(std::uint32_t number) {
  setDword(QStringLiteral("Control Panel\\Desktop"), QStringLiteral("ScreenSaveUsePassword"),
           number);
}

std::optional<QByteArray> ScriptedUserRegistry::value(const QString& key,
                                                      const QString& name) const {
  ++reads;
  const auto found = values.constFind(registryPath(key, name));
  if (found == values.constEnd())
    return std::nullopt;
  return *found;
}

bool ScriptedPasswordPrompt::verify(QWidget& owner) {
  owners.push_back(&owner);
  if (onVerify)
    onVerify(owner);
  return passes;
}

void ScriptedGuardLink::takeInput(QWidget& receiver) {
  sent << "input to " + receiver.objectName();
  std::erase(receivers, &receiver);
  receivers.push_back(&receiver);
}

void ScriptedGuardLink::releaseInput(QWidget& receiver) {
  sent << "input from " + receiver.objectName();
  std::erase(receivers, &receiver);
}

}  // namespace platform::scripted
