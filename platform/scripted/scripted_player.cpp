#include "platform/scripted/scripted_player.h"

namespace platform::scripted {
namespace {

QString shown(const QVariant& value) {
  if (value.typeId() == QMetaType::Bool)
    return value.toBool() ? "true" : "false";
  if (value.typeId() == QMetaType::QString)
    return '"' + value.toString() + '"';
  return value.toString();
}

}  // namespace

void ScriptedPlayer::put(int dispid, const QVariant& value) {
  values[dispid] = value;
  record(QStringLiteral("put %1 %2").arg(dispid).arg(shown(value)));
}

QVariant ScriptedPlayer::get(int dispid) {
  record(QStringLiteral("get %1").arg(dispid));
  return values.value(dispid, 0);
}

void ScriptedPlayer::invoke(int dispid) {
  record(QStringLiteral("invoke %1").arg(dispid));
}

void ScriptedPlayer::setSoundOutput(bool on) {
  heard = on;
}

void ScriptedPlayer::focusOutEvent(QFocusEvent* event) {
  Player::focusOutEvent(event);
  emit LostFocus();
}

QStringList ScriptedPlayer::takeCalls() {
  QStringList taken;
  taken.swap(calls);
  return taken;
}

void ScriptedPlayer::record(const QString& call) {
  calls << call;
  if (onCall)
    onCall(call);
}

}  // namespace platform::scripted
