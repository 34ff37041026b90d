#pragma once

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "support/pam_matrix.h"
#include "support/temp_folder.h"

// One run of the built program, for whole-program tests: the executable is
// copied into a temporary folder (so its settings file lives there), with its
// own per-user folders, on the X display the test runs under.
class ProgramRun {
 public:
  ProgramRun();
  ~ProgramRun();

  // The folder holding the copied executable, and so its settings file.
  const TempFolder& folder() const { return folder_; }
  // The per-user configuration folder ($XDG_CONFIG_HOME/reelvista).
  QString configFolder() const;
  // The per-user runtime folder ($XDG_RUNTIME_DIR), where the instance lock lives.
  QString runtimeFolder() const;
  void writeSettingsFile(const QByteArray& bytes) const;
  QByteArray settingsFile() const;
  // Extra environment for the program.
  void setEnvironment(const QString& name, const QString& value);
  // Runs the program with at most this many open descriptors, as a system
  // out of them would.
  void limitDescriptors(int most) { mostDescriptors_ = most; }
  // Turns the password on (the per-user user.reg) and has the program check
  // it through the PAM of the tests, which must outlive the run.
  void requirePassword(const PamMatrix& pam);

  void start(const QStringList& arguments);
  // The exit status, or nothing when the program still runs after the time.
  std::optional<int> waitForExit(int milliseconds);
  QString standardError();
  // The running program's process id (0 when not running).
  qint64 processId() const { return process_ ? process_->processId() : 0; }
  // In saver mode: the saver, which the guard (the process started) runs;
  // 0 while there is none.
  qint64 saverProcessId() const;
  // The id of a shown window with this exact title, or empty after the time.
  QString waitForWindow(const QString& title, int milliseconds);
  // The ids of the shown windows with this exact title, as they are now.
  QStringList shownWindows(const QString& title) const;
  // True once no shown window of the program has this exact title, false
  // when one is still shown after the time.
  bool waitForNoWindow(const QString& title, int milliseconds);
  // True once the window (an id from waitForWindow) has the keyboard focus.
  static bool waitForFocus(const QString& window, int milliseconds);
  // Where the window (an id from waitForWindow) stands on the screen.
  static QRect windowGeometry(const QString& window);
  // Runs xdotool with the arguments and returns what it printed.
  static QString xdotool(const QStringList& arguments);
  // Saves the whole screen as a PNG file and returns its path: in the folder
  // REELVISTA_SCREENSHOTS names, else in the run's (or the given) folder.
  QString screenshot(const QString& name) const { return screenshot(name, folder_.path()); }
  static QString screenshot(const QString& name, const QString& folder);

 private:
  TempFolder folder_;
  TempFolder home_;
  QString executable_;
  QProcessEnvironment environment_;
  std::unique_ptr<QProcess> process_;
  bool locked_ = false;      // the password is on: the saver's windows are in the overlay
  int mostDescriptors_ = 0;  // 0: the test's own limit
};

// True when the test runs with an X display to start the program on.
bool haveDisplay();
