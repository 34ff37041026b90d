#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "platform/platform.h"
#include "platform/scripted/scripted_drive_table.h"
#include "platform/scripted/scripted_file_dialog.h"
#include "platform/scripted/scripted_password.h"
#include "platform/scripted/scripted_player.h"

namespace platform {

// Raised by the scripted process stand-in where the real one ends the process,
// so that a test can watch the program end without losing the test runner.
struct ProgramEnded {
  int status = 0;
};

}  // namespace platform

namespace platform::scripted {

// Stand-ins for the desktop services. Each records what the program asked of
// it, so that a test can check the calls, and answers as the test set it up.

class ScriptedProcess final : public Process {
 public:
  QString commandLineText;
  QString executableFolderPath;
  QString currentFolderPath;
  bool anotherInstance = false;
  std::vector<int> endings;  // the status of every endAtOnce, in order

  QString commandLine() const override { return commandLineText; }
  QString executableFolder() const override { return executableFolderPath; }
  QString currentFolder() const override { return currentFolderPath; }
  QString settingsFolder() const override { return executableFolderPath; }
  bool anotherInstanceRunning() override { return anotherInstance; }
  // Throws ProgramEnded: the program must not go on past this call.
  [[noreturn]] void endAtOnce(int status) override;
};

class ScriptedDesktop final : public Desktop {
 public:
  QSize screen{1024, 768};
  int cursorCount = 0;
  int eventRuns = 0;
  bool runRealEvents = true;             // letEventsRun also runs Qt's pending events
  std::function<void()> onLetEventsRun;  // runs inside every letEventsRun
  QStringList placements;                // "topmost <title>" and "top <title>", in order
  int saverStoppedCalls = 0;

  void letEventsRun() override;
  int showCursor(bool show) override { return cursorCount += show ? 1 : -1; }
  // Without a list of its own: one primary monitor of the screen's size.
  std::vector<Monitor> monitorList;

  std::vector<Monitor> monitors() const override;
  void watchMonitors(QObject& context, std::function<void()> changed) override;
  // Replaces the monitors, as plugging or unplugging one does, and tells
  // whoever watches.
  void changeMonitors(std::vector<Monitor> monitors);
  void makeTopmost(QWidget& window) override;
  void bringToTop(QWidget& window) override;
  void saverStopped() override { ++saverStoppedCalls; }

 private:
  std::vector<std::pair<QPointer<QObject>, std::function<void()>>> watchers_;
};

class ScriptedMessageBoxes final : public MessageBoxes {
 public:
  struct Shown {
    QString text;
    int style;
    QString title;
  };
  std::vector<Shown> shown;
  std::function<void(const Shown&)> onShow;  // runs while the "box is open"

  int show(const QString& text, int style, const QString& title, QWidget* owner) override;
};

class ScriptedPasswordChange final : public PasswordChange {
 public:
  struct Call {
    QString provider;
    long long ownerWindow;
  };
  std::vector<Call> calls;

  void change(const QString& provider, long long ownerWindow) override {
    calls.push_back({provider, ownerWindow});
  }
};

// A Platform made of stand-ins, with typed access to each of them.
struct ScriptedPlatform {
  ScriptedPlatform();

  Platform platform;
  ScriptedProcess& process;
  ScriptedDesktop& desktop;
  ScriptedMessageBoxes& messages;
  ScriptedPasswordChange& passwordChange;
  ScriptedFileDialog& fileDialog;
  ScriptedDriveTable& drives;
  ScriptedUserRegistry& userRegistry;
  ScriptedPasswordPrompt& passwordPrompt;
  ScriptedGuardLink& guard;
  // The player the program made last (each playback window makes one).
  QPointer<ScriptedPlayer> player;
};

}  // namespace platform::scripted
