#include "platform/media/video_cd_disc.h"

#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace platform {
namespace {

// A Mode 2 sector read whole: its subheader, then 2324 bytes of user data
// for Form 2, and 4 bytes of error detection.
constexpr std::size_t kSubheaderBytes = 8;
constexpr std::size_t kForm2Bytes = 2324;
constexpr std::size_t kRawMode2Bytes = 2336;
static_assert(kRawMode2Bytes == M2RAW_SECTOR_SIZE);
constexpr std::uint32_t kSectorsPerRead = 16;

// Bits of the subheader's submode byte (CD-ROM XA).
constexpr unsigned char kSubmodeForm2 = 0x20;
constexpr unsigned char kSubmodeContent = 0x02 | 0x04 | 0x08;  // video, audio, data

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         std::equal(end.rbegin(), end.rend(), text.rbegin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

bool writeAll(int fd, const unsigned char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(fd, bytes, count);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// Only Form 2 sectors that carry something belong to the stream: the
// sectors around a track's MPEG data (its front and rear margins, the
// pause before the next track) are empty.
bool carriesStream(const unsigned char* sector) {
  const unsigned char submode = sector[2];
  return (submode & kSubmodeForm2) != 0 && (submode & kSubmodeContent) != 0;
}

}  // namespace

VideoCdDisc::VideoCdDisc(const std::string& source) {
  // libcdio reports its troubles on standard error; a bad disc is reported by
  // what the reader returns instead.
  cdio_loglevel_default = CDIO_LOG_ERROR;
  cdio_ = cdio_open(source.c_str(), endsWith(source, ".cue") ? DRIVER_BINCUE : DRIVER_DEVICE);
}

VideoCdDisc::~VideoCdDisc() {
  if (cdio_)
    cdio_destroy(cdio_);
}

std::vector<DiscTrack> VideoCdDisc::tracks() const {
  std::vector<DiscTrack> result;
  if (!cdio_)
    return result;
  const track_t first = cdio_get_first_track_num(cdio_);
  const track_t count = cdio_get_num_tracks(cdio_);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
    return result;
  for (int number = first; number < first + count; ++number) {
    const lsn_t start = cdio_get_track_lsn(cdio_, static_cast<track_t>(number));
    const lsn_t last = cdio_get_track_last_lsn(cdio_, static_cast<track_t>(number));
    if (start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || last < start)
      continue;
    result.push_back({number, start, last - start + 1});
  }
  return result;
}

int VideoCdDisc::trackOfFile(const std::string& pathOnDisc) const {
  if (!cdio_)
    return 0;
  // Linux shows ISO 9660 names in lower case without their version (";1"),
  // which is how libcdio translates them; mounted with map=off, exactly.
  std::string lower = pathOnDisc;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  iso9660_stat_t* stat = iso9660_fs_stat_translate(cdio_, lower.c_str());
  if (!stat)
    stat = iso9660_fs_stat(cdio_, pathOnDisc.c_str());
  if (!stat)
    return 0;
  const lsn_t start = stat->lsn;
  iso9660_stat_free(stat);
  for (const DiscTrack& track : tracks()) {
    if (start >= track.firstSector && start - track.firstSector < track.sectorCount)
      return track.number;
  }
  return 0;
}

bool VideoCdDisc::copyTrack(int number, int fd) const {
  const std::vector<DiscTrack> all = tracks();
  const auto track = std::find_if(all.begin(), all.end(),
                                  [number](const DiscTrack& t) { return t.number == number; });
  if (track == all.end())
    return false;
  std::array<unsigned char, kRawMode2Bytes * kSectorsPerRead> buffer{};
  const std::int32_t end = track->firstSector + track->sectorCount;
  for (std::int32_t sector = track->firstSector; sector < end;) {
    const auto count =
        std::min<std::uint32_t>(kSectorsPerRead, static_cast<std::uint32_t>(end - sector));
    if (cdio_read_mode2_sectors(cdio_, buffer.data(), sector, true, count) != DRIVER_OP_SUCCESS)
      return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      const unsigned char* raw = buffer.data() + i * kRawMode2Bytes;
      if (carriesStream(raw) && !writeAll(fd, raw + kSubheaderBytes, kForm2Bytes))
        return false;
    }
    sector += static_cast<std::int32_t>(count);
  }
  return true;
}

}  // namespace platform
