#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

// Reads a whole file. Throws PlatformError: FileNotFound when no such file is
// in an existing folder, PathNotFound when a folder on the way is missing,
// Other for anything else (permission, a folder, a read error).
QByteArray readWholeFile(const QString& path);

// Reads a whole file whose absence is nothing to report (an optional
// per-user file, a kernel table): nothing when it cannot be read.
std::optional<QByteArray> readWholeFileIfAny(const QString& path);

// The folder of the per-user files: ${XDG_CONFIG_HOME:-$HOME/.config}/reelvista.
QString userConfigFolder();

// The folder of the per-user files that last one session:
// $XDG_RUNTIME_DIR, or a folder of the user's own in the temporary folder.
QString userRuntimeFolder();

// Replaces the file with the given bytes, or leaves the old file exactly as it
// was: the bytes go to a temporary file beside it, which is flushed to disk
// and then renamed over the old one. Throws PlatformError (Other) naming the
// failure.
void replaceFile(const QString& path, const QByteArray& bytes);

}  // namespace platform
