#include "startup/startup.h"

#include <QCoreApplication>
#include <QEvent>
#include <climits>
#include <cstdio>

#include "platform/errors.h"
#include "startup/program.h"
#include "startup/settings_file.h"

using platform::ErrorNumber;
using platform::PlatformError;

namespace {

void reportOnStandardError(const QString& text) {
  std::fprintf(stderr, "Reelvista: %s\n", text.toLocal8Bit().constData());
}

void openSaver(Program& program) {
  if (!program.state.NoDriveScan) {
    QWidget& scan = program.windows.winSeek();
    program.platform.desktop->letEventsRun();
    scan.show();
  } else {
    program.windows.canvas().show();
  }
}

void openSettings(Program& program) {
  QWidget& setup = program.windows.setup();
  program.platform.desktop->makeTopmost(setup);
  program.platform.desktop->bringToTop(setup);
  setup.show();
}

// The play list holds 1000 entries; a longer file still starts the program
// with the first 1000 and says what was left out.
void reportEntriesLeftOut(Program& program, const SettingsReadReport& report, bool saverMode) {
  if (report.entriesLeftOut == 0)
    return;
  const QString text =
      QStringLiteral(
          "The settings file lists %1 more play-list entries than the %2 the screen saver can "
          "hold. Only the first %2 were loaded; saving the settings keeps just these.")
          .arg(report.entriesLeftOut)
          .arg(kMaxPlayCount);
  if (saverMode) {
    reportOnStandardError(text);
  } else {
    program.platform.messages->show(text, platform::style::kExclamation);
  }
}

}  // namespace

long long ownerWindowAfterSwitch(const QString& upperCommandLine) {
  qsizetype at = upperCommandLine.indexOf(QStringLiteral("/A")) + 2;
  while (at < upperCommandLine.size() &&
         (upperCommandLine[at] == ' ' || upperCommandLine[at] == ':')) {
    ++at;
  }
  long long owner = 0;
  for (; at < upperCommandLine.size() && upperCommandLine[at].isDigit(); ++at) {
    if (owner > (LLONG_MAX - 9) / 10)
      return 0;  // no window has such a number
    owner = owner * 10 + upperCommandLine[at].digitValue();
  }
  return owner;
}

bool isSaverMode(const QString& upperCommandLine) {
  return !upperCommandLine.contains(QStringLiteral("/A")) &&
         !upperCommandLine.contains(QStringLiteral("/P")) &&
         upperCommandLine.contains(QStringLiteral("/S"));
}

void StartUp(Program& program) {
  platform::Platform& desktop = program.platform;
  SharedState& state = program.state;

  state.Exiting = false;
  // A run the guard has locked goes on beside another instance (a settings
  // dialog left open): the lock was asked for and must hold.
  if (desktop.process->anotherInstanceRunning() && !desktop.guard->locked())
    desktop.process->endAtOnce(0);
  const QString command = desktop.process->commandLine().toUpper();
  if (command.contains(QStringLiteral("/A"))) {
    desktop.passwordChange->change(QStringLiteral("SCRSAVE"), ownerWindowAfterSwitch(command));
    return;
  }
  if (command.contains(QStringLiteral("/P")))
    desktop.process->endAtOnce(0);
  state.random.seedFromTimeOfDay();
  state.setDefaults();
  const QString path = settingsFilePath(desktop.process->settingsFolder());

  const bool saverMode = isSaverMode(command);
  try {
    const SettingsReadReport report = readSettingsFile(path, state);
    if (saverMode) {
      reportEntriesLeftOut(program, report, true);
      // The guard asks for this after the saver failed again and again:
      // the black window and the password prompt are all that is left.
      if (desktop.guard->playNothing()) {
        state.PlayCount = 0;
        state.NoDriveScan = true;
      }
      openSaver(program);
      return;
    }
    openSettings(program);
    reportEntriesLeftOut(program, report, false);
  } catch (const PlatformError& failure) {
    if (saverMode && desktop.guard->locked()) {
      // Nothing to play, but a lock was asked for and must hold: black, and
      // the prompt on a key, rather than a settings dialog under a locked
      // screen or no window at all.
      if (failure.number() != ErrorNumber::FileNotFound)
        reportOnStandardError(failure.description());
      state.PlayCount = 0;
      state.NoDriveScan = true;
      openSaver(program);
      return;
    }
    if (failure.number() != ErrorNumber::FileNotFound) {
      // Start-up gives up without a window; the reason goes where the
      // person who started us can read it.
      reportOnStandardError(failure.description());
      return;
    }
    try {
      openSettings(program);
    } catch (const PlatformError& windowFailure) {
      reportOnStandardError(windowFailure.description());
    }
  }
}

void StartInHostWindow(Program& program) {
  SharedState& state = program.state;
  state.Exiting = false;
  state.random.seedFromTimeOfDay();
  state.setDefaults();
  const QString path = settingsFilePath(program.platform.process->settingsFolder());
  try {
    reportEntriesLeftOut(program, readSettingsFile(path, state), true);
  } catch (const PlatformError& failure) {
    reportOnStandardError(failure.description());
    state.PlayCount = 0;
    state.NoDriveScan = true;
  }
  if (state.NoDriveScan) {
    program.windows.canvas().show();
    return;
  }
  // The scan runs when its window is activated, and opens playback when it
  // is done; here it is activated without being shown.
  QCoreApplication::postEvent(&program.windows.winSeek(), new QEvent(QEvent::WindowActivate));
}
