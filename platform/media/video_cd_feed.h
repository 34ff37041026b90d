#pragma once

#include <sys/types.h>

#include <QString>
#include <QTemporaryDir>

namespace platform {

// A Video CD track fed to the player through a FIFO, which the player opens
// as it would a file. The track is read by a process of its own, forked from
// this one: it opens the FIFO, reads the disc's table of contents and file
// system, and writes the track's MPEG stream. What a disc says (a hostile one
// included) is read only there: a reader that crashes or hangs on it takes
// only itself with it, and the player sees the stream end, or wait. It holds
// none of this process's files, windows or connections, and dies with it.
class VideoCdFeed {
 public:
  // Starts the reader of the track holding the file pathOnDisc of the disc
  // in source (a device such as /dev/sr0, or a .cue image).
  VideoCdFeed(const QString& source, const QString& pathOnDisc);
  // Ends the reader, whatever it is doing, and removes the FIFO.
  ~VideoCdFeed();
  VideoCdFeed(const VideoCdFeed&) = delete;
  VideoCdFeed& operator=(const VideoCdFeed&) = delete;

  // The FIFO to open; empty when it could not be made (then nothing plays).
  QString path() const { return path_; }

 private:
  QTemporaryDir folder_;
  QString path_;
  pid_t reader_ = -1;
};

}  // namespace platform
