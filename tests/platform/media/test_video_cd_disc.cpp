// Video CD tracks read raw from a real BIN/CUE image made by vcdimager.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <optional>

#include "platform/media/video_cd_disc.h"
#include "platform/media/video_cd_feed.h"
#include "support/temp_folder.h"
#include "support/video_cd_image.h"

using platform::VideoCdDisc;
using platform::VideoCdFeed;

namespace {

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything written into the FIFO up to its end; empty when it did not end
// in time.
std::optional<QByteArray> readFifo(const QString& fifo, int milliseconds) {
  const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return std::nullopt;
  QByteArray bytes;
  const QDeadlineTimer deadline(milliseconds);
  bool ended = false;
  while (!ended && !deadline.hasExpired()) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0)
      continue;
    char chunk[65536];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0)
      bytes.append(chunk, got);
    ended = got == 0;
  }
  ::close(fd);
  return ended ? std::optional(bytes) : std::nullopt;
}

}  // namespace

TEST(VideoCdDisc, ReadsEachTrackAsTheMpegStreamThatWentOntoTheDisc) {
  TempFolder folder;
  const VideoCdImage image = makeVideoCdImage(folder.path());
  const VideoCdDisc disc(image.cue.toStdString());
  ASSERT_TRUE(disc.isOpen());
  ASSERT_EQ(disc.tracks().size(), 3u);  // the data track, then one for each clip

  EXPECT_EQ(disc.trackOfFile("/MPEGAV/AVSEQ01.DAT"), 2);
  EXPECT_EQ(disc.trackOfFile("/mpegav/avseq02.dat"), 3);
  EXPECT_EQ(disc.trackOfFile("/MPEGAV/AVSEQ03.DAT"), 0);
  for (int track = 2; track <= 3; ++track) {
    const QString copy = folder / QStringLiteral("track%1.mpg").arg(track);
    QFile out(copy);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    EXPECT_TRUE(disc.copyTrack(track, out.handle()));
    out.close();
    EXPECT_EQ(contents(copy), contents(image.clips[track - 2])) << "track " << track;
  }
  EXPECT_FALSE(disc.copyTrack(4, STDOUT_FILENO));
  EXPECT_FALSE(VideoCdDisc((folder / "none.cue").toStdString()).isOpen());
}

TEST(VideoCdFeed, TheTrackPlaysThroughItsFifoToTheEnd) {
  TempFolder folder;
  const VideoCdImage image = makeVideoCdImage(folder.path());
  VideoCdFeed feed(image.cue, "/MPEGAV/AVSEQ02.DAT");
  ASSERT_FALSE(feed.path().isEmpty());
  QProcess mpv;
  mpv.start("mpv", {"--no-config", "--vo=null", "--ao=null", "--quiet", feed.path()});
  ASSERT_TRUE(mpv.waitForFinished(60000));
  const QByteArray said = mpv.readAllStandardOutput();
  EXPECT_EQ(mpv.exitCode(), 0) << said.toStdString();
  EXPECT_TRUE(said.contains("VO: [null] 352x288")) << said.toStdString();
  EXPECT_TRUE(said.contains("(End of file)")) << said.toStdString();
}

TEST(VideoCdFeed, AStreamEndsWhenTheDiscFailsAndNeverHangs) {
  TempFolder folder;
  const VideoCdImage image = makeVideoCdImage(folder.path());
  const QByteArray whole = contents(image.bin);
  // The disc "taken out" in the middle of the second clip: its image ends there.
  folder.write("short.bin", whole.left(whole.size() - whole.size() / 6));
  folder.write("short.cue", contents(image.cue).replace(image.bin.toUtf8(), "short.bin"));

  {
    VideoCdFeed feed(folder / "short.cue", "/MPEGAV/AVSEQ02.DAT");
    const std::optional<QByteArray> stream = readFifo(feed.path(), 30000);
    ASSERT_TRUE(stream.has_value());
    EXPECT_GT(stream->size(), 0);
    EXPECT_LT(stream->size(), contents(image.clips[1]).size());
  }
  {
    // A file the disc does not hold, or no disc at all: an empty stream.
    VideoCdFeed missing(image.cue, "/MPEGAV/AVSEQ09.DAT");
    EXPECT_EQ(readFifo(missing.path(), 30000), QByteArray());
    VideoCdFeed noDisc(folder / "none.cue", "/MPEGAV/AVSEQ01.DAT");
    EXPECT_EQ(readFifo(noDisc.path(), 30000), QByteArray());
  }
  // A feed nobody opened ends at once, its reader with it.
  const QDeadlineTimer deadline(5000);
  { VideoCdFeed unopened(image.cue, "/MPEGAV/AVSEQ01.DAT"); }
  EXPECT_FALSE(deadline.hasExpired());
}
