#include "startup/exit_saver.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "platform/lock/user_registry.h"
#include "platform/media/player.h"
#include "startup/program.h"

namespace {

// The window system may be slow to grant the first grab; past this the saver
// gives up rather than pretend to lock the screen.
constexpr int kGrabDeadlineMs = 10000;
constexpr int kGrabWatchMs = 50;

const QString kDesktopKey = QStringLiteral("Control Panel\\Desktop");
const QString kUsePasswordValue = QStringLiteral("ScreenSaveUsePassword");

}  // namespace

bool passwordRequired(platform::Platform& platform) {
  return platform::readNumber(*platform.userRegistry, kDesktopKey, kUsePasswordValue) == 1;
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

void lockInputWhilePasswordRequired(Program& program, QWidget& canvas) {
  platform::Platform& platform = program.platform;
  if (!passwordRequired(platform))
    return;
  // The guard is told before the grab is even tried: from then on it keeps
  // the screen locked should the saver end any other way than through the
  // password, in the moment between the grab holding and this process
  // hearing so too.
  platform.guard->locked();
  platform.inputGrab->hold(canvas);
  auto* watch = new QTimer(&canvas);
  watch->setInterval(kGrabWatchMs);
  QElapsedTimer since;
  since.start();
  const auto check = [&platform, &canvas, watch, since] {
    if (platform.inputGrab->hasHeld(canvas)) {
      watch->deleteLater();
      watch->stop();
      return;
    }
    if (since.elapsed() < kGrabDeadlineMs)
      return;
    std::fprintf(stderr,
                 "Reelvista: the keyboard and the pointer could not be taken, so the screen "
                 "cannot be locked; the saver ends.\n");
    platform.guard->cannotLock();
    platform.process->endAtOnce(1);
  };
  QObject::connect(watch, &QTimer::timeout, &canvas, check);
  watch->start();
  check();
}
