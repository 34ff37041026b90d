#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace platform {

// Where the start-up scan keeps what it learned of the drive:
// ${XDG_CACHE_HOME:-$HOME/.cache}/reelvista/scan-memory. Empty when there is
// no home folder to put it in.
QString scanMemoryPath();

// The file's bytes when it is a regular file of this user, no longer than
// maxBytes; nothing otherwise (missing, another user's, a link, too large,
// unreadable).
std::optional<QByteArray> readOwnFile(const QString& path, qint64 maxBytes);

// Replaces the file whole, readable by this user alone: the bytes go to a
// new file beside it, which is then renamed over it, so a reader finds the
// old file or the new one, never part of one. Makes the folder (this user's
// alone) when missing. False when it cannot; the old file then stays.
bool replaceOwnFile(const QString& path, const QByteArray& bytes);

// Whom the kernel lets read folders: the process's user and group, then its
// other groups in order.
QList<quint32> readerIdentity();

}  // namespace platform
