#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/errors.h"
#include "platform/files/files.h"
#include "support/temp_folder.h"

using platform::ErrorNumber;
using platform::PlatformError;

namespace {

ErrorNumber readFailure(const QString& path) {
  try {
    platform::readWholeFile(path);
  } catch (const PlatformError& error) {
    return error.number();
  }
  ADD_FAILURE() << "reading " << path.toStdString() << " did not fail";
  return ErrorNumber::Other;
}

}  // namespace

TEST(Files, ReadFailuresAreToldApart) {
  TempFolder folder;
  folder.write("file", "x");
  EXPECT_EQ(readFailure(folder / "missing"), ErrorNumber::FileNotFound);
  EXPECT_EQ(readFailure(folder / "no-folder/missing"), ErrorNumber::PathNotFound);
  EXPECT_EQ(readFailure(folder / "file/below-a-file"), ErrorNumber::PathNotFound);
  EXPECT_EQ(readFailure(folder.path()), ErrorNumber::Other);  // a folder is not a file

  // A FIFO with no writer must not hang the reader.
  ASSERT_EQ(::mkfifo(qPrintable(folder / "fifo"), 0600), 0);
  EXPECT_TRUE(platform::readWholeFile(folder / "fifo").isEmpty());
}

TEST(Files, ReplaceWritesWholeOrLeavesTheOldFile) {
  TempFolder folder;
  const QString path = folder.write("settings", "old");
  platform::replaceFile(path, "new contents");
  EXPECT_EQ(folder.read("settings"), "new contents");

  // The name taken by a folder: the save fails and reports it.
  folder.write("taken/inside", "x");
  EXPECT_THROW(platform::replaceFile(folder / "taken", "lost?"), PlatformError);
  EXPECT_EQ(folder.read("taken/inside"), "x");
  EXPECT_THROW(platform::replaceFile(folder / "no-folder/settings", "x"), PlatformError);
  EXPECT_EQ(folder.read("settings"), "new contents");
}
