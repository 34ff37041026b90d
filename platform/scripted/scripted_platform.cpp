#include "platform/scripted/scripted_platform.h"

#include <QCoreApplication>
#include <QWidget>

#include "platform/errors.h"

namespace platform::scripted {

void ScriptedProcess::endAtOnce(int status) {
  endings.push_back(status);
  throw ProgramEnded{status};
}

void ScriptedDesktop::letEventsRun() {
  ++eventRuns;
  if (onLetEventsRun)
    onLetEventsRun();
  if (runRealEvents)
    QCoreApplication::processEvents();
}

std::vector<Monitor> ScriptedDesktop::monitors() const {
  if (monitorList.empty())
    return {{QRect(QPoint(0, 0), screen), true}};
  return monitorList;
}

void ScriptedDesktop::watchMonitors(QObject& context, std::function<void()> changed) {
  watchers_.emplace_back(&context, std::move(changed));
}

void ScriptedDesktop::changeMonitors(std::vector<Monitor> monitors) {
  monitorList = std::move(monitors);
  for (const auto& [context, changed] : watchers_) {
    if (context)
      changed();
  }
}

void ScriptedDesktop::makeTopmost(QWidget& window) {
  placements << "topmost " + window.windowTitle();
}

void ScriptedDesktop::bringToTop(QWidget& window) {
  placements << "top " + window.windowTitle();
}

int ScriptedMessageBoxes::show(const QString& text, int style, const QString& title,
                               QWidget* /*owner*/) {
  shown.push_back({text, style, title});
  if (onShow)
    onShow(shown.back());
  return 1;
}

namespace {

template <typename Service, typename Base>
Service& install(std::unique_ptr<Base>& slot) {
  auto service = std::make_unique<Service>();
  Service& reference = *service;
  slot = std::move(service);
  return reference;
}

}  // namespace

ScriptedPlatform::ScriptedPlatform()
    : process(install<ScriptedProcess>(platform.process)),
      desktop(install<ScriptedDesktop>(platform.desktop)),
      messages(install<ScriptedMessageBoxes>(platform.messages)),
      passwordChange(install<ScriptedPasswordChange>(platform.passwordChange)),
      fileDialog(install<ScriptedFileDialog>(platform.fileDialog)),
      drives(install<ScriptedDriveTable>(platform.drives)),
      userRegistry(install<ScriptedUserRegistry>(platform.userRegistry)),
      passwordPrompt(install<ScriptedPasswordPrompt>(platform.passwordPrompt)),
      guard(install<ScriptedGuardLink>(platform.guard)) {
  platform.makePlayer = [this](QWidget* parent, bool sound) -> Player* {
    player = new ScriptedPlayer(parent);
    player->heard = sound;
    return player;
  };
}

}  // namespace platform::scripted
