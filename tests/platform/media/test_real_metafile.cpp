// RealMedia metafiles: the local files they name, and nothing else.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "platform/media/real_metafile.h"
#include "support/temp_folder.h"

using platform::readRealMetafile;

TEST(RealMetafile, NamesTheLocalReadableFilesInItsOrder) {
  TempFolder folder;
  const QString first = folder.write("media/first clip.rm", "x");
  const QString second = folder.write("lists/second.rm", "x");
  const QString third = folder.write("third.ra", "x");
  folder.write("lists/other.ram", first.toUtf8());
  const QString list = folder.write("lists/play.rmm", ("# made by hand\r\n"
                                                       "\r\n" +
                                                       first + "\r\n" +
                                                       "http://example.com/remote.rm\n"
                                                       "rtsp://example.com/remote.rm\n"
                                                       "pnm://example.com/remote.ra\n"
                                                       "  second.rm  \n"
                                                       "missing.rm\n"
                                                       "other.ram\n"
                                                       "file://" +
                                                       QString(third).replace(' ', "%20") +
                                                       "\n"
                                                       "file://elsewhere.example.com" +
                                                       third +
                                                       "\n"
                                                       "../media/first%20clip.rm\n"
                                                       "file:../media/first%20clip.rm\n")
                                                          .toUtf8());
  EXPECT_EQ(readRealMetafile(list), (QStringList{first, second, third, first}));

  const QString remote =
      folder.write("remote.ram", "http://example.com/a.rm\nrtsp://example.com/b.rm\n");
  EXPECT_EQ(readRealMetafile(remote), QStringList());
  EXPECT_EQ(readRealMetafile(folder / "missing.rmm"), QStringList());
  EXPECT_TRUE(platform::isRealMetafileName("/a/B.RMM"));
  EXPECT_TRUE(platform::isRealMetafileName("b.Ram"));
  EXPECT_FALSE(platform::isRealMetafileName("b.rm"));
}

TEST(RealMetafile, ALargeOrBinaryFileIsRefusedAtOnce) {
  TempFolder folder;
  const QString clip = folder.write("clip.rm", "x");
  QByteArray large;
  while (large.size() < qsizetype{10} * 1024 * 1024)
    large += (clip + "\n").toUtf8();
  const QString big = folder.write("big.rmm", large);
  const QString binary = folder.write("binary.rmm", (clip + "\n").toUtf8() + QByteArray(64, '\0'));
  const QString justRight =
      folder.write("fits.rmm", large.left(large.lastIndexOf('\n', qsizetype{16} * 1024) + 1));

  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(readRealMetafile(big), QStringList());
  EXPECT_LT(timer.elapsed(), 1000);
  EXPECT_EQ(readRealMetafile(binary), QStringList());
  EXPECT_FALSE(readRealMetafile(justRight).isEmpty());
}
