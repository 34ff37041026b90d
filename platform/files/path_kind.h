#pragma once

#include <QString>

namespace platform {

// What a name typed by the user stands for, as far as adding it to the play
// list goes.
enum class PathKind {
  ReadableFile,   // a regular file that can be read (links followed)
  MissingFile,    // nothing of that name, in a folder that exists
  SomethingElse,  // a folder, a FIFO, a device, a missing folder, no permission, ...
};

// Looks only at the name (stat, never open), so a FIFO, a device or a file on
// a slow disk cannot keep the caller waiting on the file's contents.
PathKind pathKind(const QString& path);

}  // namespace platform
