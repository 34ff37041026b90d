#pragma once

#include <cstdint>
#include <string>
#include <vector>

// libcdio's handle, CdIo_t, under the name libcdio gives it.
struct _CdIo;  // NOLINT(bugprone-reserved-identifier)

namespace platform {

// One track of a disc, in sectors.
struct DiscTrack {
  int number = 0;
  std::int32_t firstSector = 0;
  std::int32_t sectorCount = 0;
};

// A Video CD as libcdio reads it: the disc in a drive (its device, such as
// /dev/sr0) or a BIN/CUE image (its .cue file). A Video CD keeps its MPEG
// tracks in Mode 2 Form 2 sectors, which the Linux file system refuses to
// read; this reads them raw. Everything here reads what the disc says, so it
// runs in the track reader's own process, never in the saver.
class VideoCdDisc {
 public:
  explicit VideoCdDisc(const std::string& source);
  ~VideoCdDisc();
  VideoCdDisc(const VideoCdDisc&) = delete;
  VideoCdDisc& operator=(const VideoCdDisc&) = delete;

  // False when the source holds no disc libcdio can read.
  bool isOpen() const { return cdio_ != nullptr; }

  // The disc's tracks in order; empty when it has no table of contents.
  std::vector<DiscTrack> tracks() const;

  // The track holding the start of a file of the disc's ISO 9660 file system,
  // named from the disc's root in any case ("/mpegav/avseq01.dat"); 0 when
  // there is no such file or no track holds it.
  int trackOfFile(const std::string& pathOnDisc) const;

  // Writes the MPEG stream of the track to the file descriptor: the user data
  // of its Form 2 sectors that carry video, sound or data, in order; empty and
  // padding sectors are left out. False when a read or a write failed before
  // the end of the track (a disc taken out, a reader that went away).
  bool copyTrack(int number, int fd) const;

 private:
  _CdIo* cdio_ = nullptr;  // NOLINT(bugprone-reserved-identifier)
};

}  // namespace platform
