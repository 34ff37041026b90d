#pragma once

#include <QString>
#include <map>

#include "platform/files/drive_table.h"

namespace platform::scripted {

// A drive table a test sets up: each letter leads to a folder of the test's
// choosing. It starts with C: for "/", as the desktop's does.
class ScriptedDriveTable final : public DriveTable {
 public:
  ScriptedDriveTable();

  // The letter (either case) leads to the folder; the drive is ready.
  void map(QChar letter, const QString& folder);
  // A drive that is there but holds no medium (or the medium comes back).
  void setReady(QChar letter, bool ready);
  void remove(QChar letter);
  void clear() { drives_.clear(); }

  std::vector<Drive> drives() const override;

 private:
  struct Entry {
    QString folder;
    bool ready = true;
  };
  std::map<char16_t, Entry> drives_;
};

}  // namespace platform::scripted
