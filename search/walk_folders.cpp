#include "search/walk_folders.h"

#include <QLabel>
#include <QListWidget>

#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/errors.h"
#include "platform/files/directory_lister.h"
#include "startup/program.h"
#include "startup/settings_file.h"

using platform::ErrorNumber;
using platform::PlatformError;

FolderWalk::FolderWalk(Program& program, WalkControls controls, WalkRules rules)
    : program_(program), controls_(controls), rules_(std::move(rules)) {}

namespace {

// The lister asks the walk's memory while the walk runs, and whatever it
// asked before once the walk is over.
class RecallScope {
 public:
  RecallScope(platform::DirectoryLister& lister, platform::FolderRecall* recall)
      : lister_(lister), before_(lister.recall()) {
    lister_.setRecall(recall);
  }
  ~RecallScope() { lister_.setRecall(before_); }
  RecallScope(const RecallScope&) = delete;
  RecallScope& operator=(const RecallScope&) = delete;

 private:
  platform::DirectoryLister& lister_;
  platform::FolderRecall* before_;
};

}  // namespace

bool FolderWalk::WalkFolders(const QString& folder, const QString& returnTo) {
  if (running_)
    return true;
  running_ = true;
  // Every folder is listed once for the whole walk, however often the walk
  // comes back to it.
  platform::DirectoryLister& lister = platform::DirectoryLister::shared();
  const platform::DirectoryLister::Hold listings(lister);
  std::shared_ptr<ScanMemory> memory;
  if (rules_.scanMemory)
    memory = rules_.scanMemory(folder, controls_.filList.pattern());
  const RecallScope recall(lister, memory.get());
  systemFolders_ = platform::SystemFolders::forWalkFrom(folder);
  bool abandoned = true;
  try {
    abandoned = visit(folder, returnTo);
  } catch (...) {
    running_ = false;
    throw;
  }
  running_ = false;
  if (memory)
    memory->save();
  return abandoned;
}

bool FolderWalk::visit(const QString& folder, const QString& returnTo) {
  SearchActive = true;
  program_.platform.desktop->letDueEventsRun();
  if (!SearchActive)
    return true;
  try {
    if (visitSubfolders(folder))
      return true;
    if (recordFiles())
      return true;
    if (!returnTo.isEmpty())
      controls_.dirList.setPath(returnTo);
    return false;
  } catch (const PlatformError& failure) {
    if (failure.number() == ErrorNumber::OutOfMemory)
      return true;
    return fail(failure.description());
  }
}

// The subfolders, the last in name order first. The list is brought back to
// this folder before each, as the visit of the one before left it elsewhere.
bool FolderWalk::visitSubfolders(const QString& folder) {
  platform::FolderList& dirList = controls_.dirList;
  for (int n = dirList.subfolderCount(); n > 0 && SearchActive; --n) {
    const QString returnTo = dirList.path();
    dirList.setPath(folder);
    if (dirList.subfolderCount() < 1)
      continue;
    const QString subfolder = dirList.subfolder(n - 1);
    if (subfolder.isEmpty() || systemFolders_->excludes(subfolder))
      continue;
    try {
      dirList.setPath(subfolder);
    } catch (const PlatformError& failure) {
      // A folder this user may not open (every ext4 disk has a lost+found
      // only root may read), or one gone since its parent was listed (a
      // process's folder, a file manager tidying up), is passed over; the
      // walk goes on.
      if (failure.number() == ErrorNumber::PermissionDenied ||
          failure.number() == ErrorNumber::PathNotFound)
        continue;
      throw;
    }
    if (visit(dirList.path(), returnTo))
      return true;
  }
  return false;
}

// The files of the folder that dirList (and through it filList) shows. The
// found list and the count label take the folder's files at once: nothing
// can look at them between two of its files, and each change of a list or
// label costs more than finding a file.
bool FolderWalk::recordFiles() {
  platform::FileList& filList = controls_.filList;
  const int count = filList.fileCount();
  if (count < 1)
    return false;
  QString base = controls_.dirList.path();
  if (!base.endsWith('/'))
    base += '/';
  QStringList entries;
  entries.reserve(count);
  bool full = false;
  for (int i = 0; i < count && !full; ++i) {
    const QString name = filList.fileName(i);
    if (!fitsOnOneLine(name))
      continue;
    full = listIsFull(entries.size());
    if (!full)
      entries << record(base + name);
  }
  if (!entries.isEmpty()) {
    QLabel& label = controls_.lblCount;
    label.setText(' ' + QString::number(label.text().trimmed().toInt() + entries.size()));
    controls_.lstFoundFiles.addItems(entries);
  }
  if (full && !rules_.listFullMessage.isEmpty())
    program_.platform.messages->show(rules_.listFullMessage);
  return full;
}

QString FolderWalk::record(QString entry) {
  if (rules_.appendToPlayList) {
    SharedState& state = program_.state;
    ++state.PlayCount;
    state.PlayList[state.PlayCount] = entry;
  }
  return entry;
}

// The shared play list stops the scan when it is full, as the found list
// stops any walk.
bool FolderWalk::listIsFull(qsizetype pending) const {
  if (controls_.lstFoundFiles.count() + pending >= rules_.foundCapacity)
    return true;
  return rules_.appendToPlayList && program_.state.PlayCount >= kMaxPlayCount;
}

bool FolderWalk::fail(const QString& description) {
  program_.platform.messages->show(description);
  if (rules_.onFailure == WalkRules::OnFailure::EndProgram)
    program_.platform.process->endAtOnce(1);
  return true;
}
