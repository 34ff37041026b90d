#include "startup/exit_saver.h"

#include <QWidget>

#include "platform/lock/user_registry.h"
#include "platform/media/player.h"
#include "startup/program.h"

bool passwordRequired(platform::Platform& platform) {
  return platform.guard->locked() || platform::usesPassword(*platform.userRegistry);
}

void ExitSaver(Program& program, platform::Player& player, QWidget& canvas) {
  SharedState& state = program.state;
  platform::Platform& platform = program.platform;
  platform::Desktop& desktop = *platform.desktop;
  if (state.Exiting)
    return;
  state.Exiting = true;
  while (desktop.showCursor(true) < 0) {
  }

  const bool required = passwordRequired(platform);
  const bool passed = required && platform.passwordPrompt->verify(canvas);
  if (!required || passed) {
    desktop.saverStopped();
    player.invoke(platform::Dispid::Stop);
    do {
      desktop.letEventsRun();
    } while (desktop.showCursor(true) < 0);
    desktop.letEventsRun();
    platform.guard->unlocked();
    platform.process->endAtOnce(0);
  }

  state.Exiting = false;
  while (desktop.showCursor(false) >= 0) {
  }
}
