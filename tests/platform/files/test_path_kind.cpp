#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>

#include "platform/files/path_kind.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

using platform::PathKind;
using platform::pathKind;

TEST(PathKind, TellsFilesMissingNamesAndTheRestApart) {
  TempFolder folder;
  folder.write("clip.avi", "x");
  folder.write("sub/inner.mpg", "x");
  ASSERT_EQ(::symlink(qPrintable(folder / "clip.avi"), qPrintable(folder / "link.avi")), 0);
  ASSERT_EQ(::symlink(qPrintable(folder / "gone.avi"), qPrintable(folder / "dangling.avi")), 0);

  EXPECT_EQ(pathKind(folder / "clip.avi"), PathKind::ReadableFile);
  EXPECT_EQ(pathKind(folder / "link.avi"), PathKind::ReadableFile);
  EXPECT_EQ(pathKind(folder / "missing.avi"), PathKind::MissingFile);
  EXPECT_EQ(pathKind(folder / "dangling.avi"), PathKind::MissingFile);
  EXPECT_EQ(pathKind(folder / "sub"), PathKind::SomethingElse);
  EXPECT_EQ(pathKind(folder / "sub/"), PathKind::SomethingElse);
  EXPECT_EQ(pathKind(folder / "missing/"), PathKind::SomethingElse);
  EXPECT_EQ(pathKind(folder / "no-folder/clip.avi"), PathKind::SomethingElse);
  EXPECT_EQ(pathKind(folder / "clip.avi/below"), PathKind::SomethingElse);
  EXPECT_EQ(pathKind(QString()), PathKind::SomethingElse);
  EXPECT_EQ(pathKind("/" + QString(5000, 'a')), PathKind::SomethingElse);
  EXPECT_EQ(pathKind(folder / "clip.avi" + QChar(0) + "junk"), PathKind::SomethingElse)
      << "the system would read this as clip.avi";
}

TEST(PathKind, NeverWaitsOnAFifoOrADevice) {
  TempFolder folder;
  ASSERT_EQ(::mkfifo(qPrintable(folder / "fifo"), 0600), 0);
  const QDeadlineTimer deadline(2000);
  EXPECT_EQ(pathKind(folder / "fifo"), PathKind::SomethingElse);
  EXPECT_EQ(pathKind("/dev/zero"), PathKind::SomethingElse);
  EXPECT_EQ(pathKind("/dev/tty"), PathKind::SomethingElse);
  EXPECT_FALSE(deadline.hasExpired());
}

TEST(PathKind, AFileThatCannotBeReadIsNotAFileToAdd) {
  TempFolder folder;
  const QString secret = folder.write("secret.avi", "x");
  ::chmod(qPrintable(secret), 0600);
  folder.write("closed/inner.avi", "x");
  ::chmod(qPrintable(folder / "closed"), 0700);
  openPathToOthers(qPrintable(folder.path()));
  const int outcome = runUnprivileged([&] {
    return (pathKind(secret) == PathKind::SomethingElse ? 1 : 0) +
           (pathKind(folder / "closed/inner.avi") == PathKind::SomethingElse ? 2 : 0) +
           (pathKind(folder / "closed/missing.avi") == PathKind::SomethingElse ? 4 : 0);
  });
  EXPECT_EQ(outcome, 7);
}
