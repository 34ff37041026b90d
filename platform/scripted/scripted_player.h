#pragma once

#include <QMap>
#include <QStringList>
#include <functional>

#include "platform/media/player.h"

namespace platform::scripted {

// A player that plays nothing: it records every call in order ("put 1026
// \"clip.avi\"", "get 1001", "invoke 2001") and answers reads from `values`.
// A test raises any event at any moment through the raise functions (or by
// emitting the signals itself). Like the real player, it raises LostFocus
// whenever it loses the keyboard focus.
class ScriptedPlayer final : public Player {
  Q_OBJECT

 public:
  using Player::Player;

  QStringList calls;
  bool heard = true;                           // it has a sound output
  QMap<int, QVariant> values;                  // what get answers, by dispid; 0 when unset
  std::function<void(const QString&)> onCall;  // runs inside every call, after recording it

  using Player::get;
  using Player::invoke;
  using Player::put;
  void put(int dispid, const QVariant& value) override;
  QVariant get(int dispid) override;
  void invoke(int dispid) override;
  void setSoundOutput(bool on) override;

  void raiseReadyState(int state) { emit ReadyStateChange(state); }
  void raisePlayState(int oldState, int newState) { emit PlayStateChange(oldState, newState); }
  void raiseKeyDown() { emit KeyDown(); }
  void raiseMouseDown() { emit MouseDown(); }
  void raiseLostFocus() { emit LostFocus(); }

  // The calls since the last take, and a fresh record.
  QStringList takeCalls();

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void record(const QString& call);
};

}  // namespace platform::scripted
