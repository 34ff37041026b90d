#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace platform {

// What the program needs of its own process.
class Process {
 public:
  virtual ~Process() = default;

  // The arguments as one text, without the program's own name.
  virtual QString commandLine() const = 0;
  // The folder holding the executable, links resolved.
  virtual QString executableFolder() const = 0;
  // The process's working folder.
  virtual QString currentFolder() const = 0;
  // The folder of the settings file: the executable's while the user may
  // write there, else the per-user folder (made when missing), so that a
  // program installed for every user keeps each one's settings apart.
  virtual QString settingsFolder() const = 0;
  // True when another instance of the program runs for this user. The first
  // call claims the instance lock, which is held until the process ends.
  virtual bool anotherInstanceRunning() = 0;
  // Ends the program at once: no window's close handling runs.
  [[noreturn]] virtual void endAtOnce(int status = 0) = 0;
};

class DesktopProcess final : public Process {
 public:
  DesktopProcess(int argc, char** argv);
  ~DesktopProcess() override;

  QString commandLine() const override { return commandLine_; }
  QString executableFolder() const override;
  QString currentFolder() const override;
  QString settingsFolder() const override;
  bool anotherInstanceRunning() override;
  [[noreturn]] void endAtOnce(int status = 0) override;

 private:
  QString commandLine_;
  std::unique_ptr<QLockFile> instanceLock_;
};

}  // namespace platform
