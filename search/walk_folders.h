#pragma once

#include <QString>
#include <optional>

#include "platform/files/system_folders.h"
#include "search/scan_memory.h"

class QLabel;
class QListWidget;
struct Program;

namespace platform {
class FileList;
class FolderList;
}  // namespace platform

// The controls of a window that a walk moves and fills.
struct WalkControls {
  platform::FolderList& dirList;  // walked by path; its changes must move filList along
  platform::FileList& filList;    // its pattern list says which files count
  QListWidget& lstFoundFiles;     // every entry found, in the order found
  QLabel& lblCount;               // the number found so far
};

// What differs between the windows that walk.
struct WalkRules {
  enum class OnFailure {
    EndProgram,          // say what failed, then end the program at once
    AbandonWithMessage,  // say what failed, then abandon the walk
  };

  // Also store every entry in the shared play list; the walk stops
  // collecting when that list is full.
  bool appendToPlayList = false;
  // Shown once when the found list is full; empty: the walk stops silently.
  QString listFullMessage;
  OnFailure onFailure = OnFailure::AbandonWithMessage;
  // The found list holds this many entries at most.
  int foundCapacity = 32767;
  // What the walk remembers for the next one like it; none: it reads every
  // folder.
  ScanMemoryMaker scanMemory = nullptr;
};

// Collects the files matching the file list's patterns from a folder tree:
// depth first, a folder's own files after everything below it, the
// subfolders of a folder last one first. Lets pending events run at each
// folder when due, so the window's Cancel (clearing SearchActive) is seen
// there.
// Stays on real files: never enters the system's pseudo file systems, and
// passes over a folder it may not open or that went away since its parent
// was listed.
class FolderWalk {
 public:
  FolderWalk(Program& program, WalkControls controls, WalkRules rules);

  // Walks the folder that dirList shows (read back from it), with an empty
  // folder to return to for the top of the walk. Returns true when the walk
  // was abandoned: cancelled, or the list it fills is full. A second walk
  // asked for while one runs on the same window (from an event handler run
  // by the walk) is refused: it does nothing and returns true.
  bool WalkFolders(const QString& folder, const QString& returnTo);
  bool isRunning() const { return running_; }
  // For the walks from here on.
  void setScanMemory(ScanMemoryMaker maker) { rules_.scanMemory = std::move(maker); }

  // True while a walk runs; the window's Cancel and reset set it false.
  bool SearchActive = false;

 private:
  bool visit(const QString& folder, const QString& returnTo);
  bool visitSubfolders(const QString& folder);
  bool recordFiles();
  // Adds the entry to the play list when the walk fills it; returns it.
  QString record(QString entry);
  // With `pending` entries still to be added to the found list.
  bool listIsFull(qsizetype pending) const;
  bool fail(const QString& description);

  Program& program_;
  WalkControls controls_;
  WalkRules rules_;
  bool running_ = false;
  std::optional<platform::SystemFolders> systemFolders_;  // of the walk running
};
