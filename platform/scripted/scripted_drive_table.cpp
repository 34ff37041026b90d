#include "platform/scripted/scripted_drive_table.h"

namespace platform::scripted {

ScriptedDriveTable::ScriptedDriveTable() {
  map('C', QStringLiteral("/"));
}

void ScriptedDriveTable::map(QChar letter, const QString& folder) {
  drives_[letter.toUpper().unicode()] = {folder, true};
}

void ScriptedDriveTable::setReady(QChar letter, bool ready) {
  drives_[letter.toUpper().unicode()].ready = ready;
}

void ScriptedDriveTable::remove(QChar letter) {
  drives_.erase(letter.toUpper().unicode());
}

std::vector<Drive> ScriptedDriveTable::drives() const {
  std::vector<Drive> drives;
  for (const auto& [letter, entry] : drives_)
    drives.push_back({QChar(letter), entry.folder, entry.ready ? entry.folder : QString()});
  return drives;
}

}  // namespace platform::scripted
