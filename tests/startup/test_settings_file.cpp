#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "fuzz/properties.h"
#include "platform/errors.h"
#include "startup/settings_file.h"
#include "startup/shared_state.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

using platform::ErrorNumber;
using platform::PlatformError;

namespace {

struct Read {
  SharedState state;
  SettingsReadReport report;
  QStringList entries() const {
    QStringList list;
    for (int slot = 1; slot <= state.PlayCount; ++slot)
      list << state.PlayList[slot];
    return list;
  }
};

Read readBytes(const QByteArray& bytes) {
  TempFolder folder;
  Read read;
  read.report = readSettingsFile(folder.write("ReelvistaSaver.INI", bytes), read.state);
  return read;
}

ErrorNumber readFailure(const QByteArray& bytes) {
  try {
    readBytes(bytes);
  } catch (const PlatformError& error) {
    return error.number();
  }
  ADD_FAILURE() << "no failure for " << bytes.toStdString();
  return ErrorNumber::Other;
}

QByteArray entryLines(int count) {
  QByteArray bytes = "D:\r\n*.AVI\r\n";
  for (int i = 1; i <= count; ++i)
    bytes += "/clips/" + QByteArray::number(i) + ".avi\r\n";
  return bytes;
}

}  // namespace

TEST(SettingsFile, WorkedExampleBothWays) {
  const QByteArray expected = "D:\r\n*.AVI;*.MPG\r\nC:\\CLIPS\\SEA.AVI\r\nC:\\CLIPS\\SONG.MP3\r\n";
  EXPECT_EQ(
      encodeSettingsFile({"D:", "*.AVI;*.MPG", {"C:\\CLIPS\\SEA.AVI", "C:\\CLIPS\\SONG.MP3"}}),
      expected);
  const Read read = readBytes(expected);
  EXPECT_EQ(read.state.ScanDrive, "D:");
  EXPECT_FALSE(read.state.NoDriveScan);
  EXPECT_EQ(read.state.FileSpec, "*.AVI;*.MPG");
  EXPECT_EQ(read.entries(), QStringList({"C:\\CLIPS\\SEA.AVI", "C:\\CLIPS\\SONG.MP3"}));
  EXPECT_TRUE(read.state.PlayList[0].isEmpty());

  const QByteArray scanningOff = encodeSettingsFile({"", "*.AVI;*.MPG", {"/a.avi"}});
  EXPECT_EQ(scanningOff, "\r\n*.AVI;*.MPG\r\n/a.avi\r\n");
  const Read off = readBytes(scanningOff);
  EXPECT_TRUE(off.state.ScanDrive.isEmpty());
  EXPECT_TRUE(off.state.NoDriveScan);
}

TEST(SettingsFile, FieldRuleOfTheFirstTwoLines) {
  // A comma ends the pattern list; the rest of line 2 becomes entry 1.
  Read comma = readBytes("D:\r\n*.AVI,*.MPG\r\n/a.avi\r\n");
  EXPECT_EQ(comma.state.FileSpec, "*.AVI");
  EXPECT_EQ(comma.entries(), QStringList({"*.MPG", "/a.avi"}));

  // A quoted value runs to the closing quote; what follows it is dropped.
  Read quoted = readBytes("D:\r\n\"*.AVI,*.MPG\";junk\r\n");
  EXPECT_EQ(quoted.state.FileSpec, "*.AVI,*.MPG");
  EXPECT_EQ(quoted.state.PlayCount, 0);
  Read quotedComma = readBytes("D:\r\n\"*.AVI\"x,rest\r\n");
  EXPECT_EQ(quotedComma.state.FileSpec, "*.AVI");
  EXPECT_EQ(quotedComma.entries(), QStringList({"rest"}));

  // Blanks in front are dropped, and so are blanks behind an unquoted value.
  Read blanks = readBytes("  d:  \r\n   *.AVI;*.MP3  \r\n");
  EXPECT_EQ(blanks.state.ScanDrive, "d:");
  EXPECT_EQ(blanks.state.FileSpec, "*.AVI;*.MP3");
  EXPECT_EQ(readBytes("D:\r\n\"  *.AVI \"\r\n").state.FileSpec, "  *.AVI ");

  // A blank line 1 turns the scan off; a comma on line 1 moves line 2 up.
  Read blankFirst = readBytes("   \r\n*.AVI\r\n");
  EXPECT_TRUE(blankFirst.state.NoDriveScan);
  EXPECT_EQ(blankFirst.state.FileSpec, "*.AVI");
  Read commaFirst = readBytes("D:,*.MOV\r\n*.AVI\r\n");
  EXPECT_EQ(commaFirst.state.ScanDrive, "D:");
  EXPECT_EQ(commaFirst.state.FileSpec, "*.MOV");
  EXPECT_EQ(commaFirst.entries(), QStringList({"*.AVI"}));
}

TEST(SettingsFile, EntryLinesAreTakenWhole) {
  Read read = readBytes("D:\r\n*.AVI\r\n  /with blanks, \"quotes\" .avi \r\n\r\n/b.avi\r\n\r\n");
  EXPECT_EQ(read.entries(), QStringList({"  /with blanks, \"quotes\" .avi ", "", "/b.avi", ""}));

  EXPECT_EQ(readBytes("D:\r\n*.AVI\r\n/a.avi\r\n").state.PlayCount, 1);  // final line end: none
  EXPECT_EQ(readBytes("D:\r\n*.AVI\r\n/a.avi").entries(), QStringList({"/a.avi"}));
  EXPECT_EQ(readBytes("D:\r\n*.AVI\r\n").state.PlayCount, 0);
  EXPECT_EQ(readBytes("D:\r\n*.AVI").state.FileSpec, "*.AVI");

  // A lone line feed or carriage return ends a line as CR LF does.
  Read unix = readBytes("D:\n*.AVI\n/a.avi\n/b.avi\r/c.avi");
  EXPECT_EQ(unix.state.FileSpec, "*.AVI");
  EXPECT_EQ(unix.entries(), QStringList({"/a.avi", "/b.avi", "/c.avi"}));
}

TEST(SettingsFile, FilesThatEndTooEarlyFail) {
  EXPECT_EQ(readFailure(""), ErrorNumber::Other);
  EXPECT_EQ(readFailure("D:"), ErrorNumber::Other);
  EXPECT_EQ(readFailure("D:\r\n"), ErrorNumber::Other);
  TempFolder folder;
  SharedState state;
  try {
    readSettingsFile(folder / "ReelvistaSaver.INI", state);
    ADD_FAILURE() << "a missing file read";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.number(), ErrorNumber::FileNotFound);
  }
  // What was read before the failure stays.
  try {
    readSettingsFile(folder.write("one", "E:\r\n"), state);
  } catch (const PlatformError&) {
  }
  EXPECT_EQ(state.ScanDrive, "E:");
}

TEST(SettingsFile, ThePlayListHoldsAThousandEntries) {
  const Read full = readBytes(entryLines(1000));
  EXPECT_EQ(full.state.PlayCount, 1000);
  EXPECT_EQ(full.state.PlayList[1000], "/clips/1000.avi");
  EXPECT_EQ(full.report.entriesLeftOut, 0);

  const Read over = readBytes(entryLines(1001));
  EXPECT_EQ(over.state.PlayCount, 1000);
  EXPECT_EQ(over.state.PlayList[1000], "/clips/1000.avi");
  EXPECT_EQ(over.report.entriesLeftOut, 1);
  EXPECT_EQ(readBytes(entryLines(100000)).report.entriesLeftOut, 99000);
}

TEST(SettingsFile, NamesThatAreNotUtf8ComeBackByteForByte) {
  const QByteArray bytes = "\r\n*.AVI\r\n/clips/caf\xe9.avi\r\n/clips/\xff\xfe.mpg\r\n";
  const Read read = readBytes(bytes);
  EXPECT_EQ(encodeSettingsFile({read.state.ScanDrive, read.state.FileSpec, read.entries()}), bytes);
}

TEST(SettingsFile, AFailedSaveLeavesTheOldFileAsItWas) {
  TempFolder folder;
  const QString path = folder.write("saver/ReelvistaSaver.INI", "D:\r\n*.AVI\r\n/old.avi\r\n");
  writeSettingsFile(path, {"E:", "*.MPG", {"/new.avi"}});
  EXPECT_EQ(folder.read("saver/ReelvistaSaver.INI"), "E:\r\n*.MPG\r\n/new.avi\r\n");

  // A read-only folder: checked as an unprivileged user, whom it refuses.
  ::chmod(qPrintable(folder / "saver"), 0555);
  openPathToOthers(qPrintable(folder / "saver"));
  ::chmod(qPrintable(path), 0644);
  const int outcome = runUnprivileged([&] {
    try {
      writeSettingsFile(path, {"F:", "*.MOV", {"/lost.avi"}});
    } catch (const PlatformError& error) {
      return error.description().contains(path) ? 1 : 2;
    }
    return 0;
  });
  EXPECT_EQ(outcome, 1) << "the failure must be reported, naming the file";
  EXPECT_EQ(folder.read("saver/ReelvistaSaver.INI"), "E:\r\n*.MPG\r\n/new.avi\r\n");

  // A play list the next start could not load is refused before anything is written.
  QStringList tooMany;
  for (int i = 0; i < 1001; ++i)
    tooMany << "/a.avi";
  ::chmod(qPrintable(folder / "saver"), 0755);
  EXPECT_THROW(writeSettingsFile(path, {"D:", "*.AVI", tooMany}), PlatformError);
  EXPECT_THROW(writeSettingsFile(path, {"D:", "*.AVI", {"/a\n.avi"}}), PlatformError);
  EXPECT_EQ(folder.read("saver/ReelvistaSaver.INI"), "E:\r\n*.MPG\r\n/new.avi\r\n");
}

// Damaged files of the kinds a disk or an editor leaves behind: each either
// fails with a reason or reads as a state that saves and reads back the same.
TEST(SettingsFile, DamagedFilesFailWithAReasonOrReadBackTheSame) {
  std::mt19937 generator(20261207);
  QByteArray random(1 << 20, '\0');
  for (char& byte : random)
    byte = static_cast<char>(generator());
  const QByteArray hugeLine(16 << 20, 'x');
  const QByteArray hugeEntry = "\r\n*.AVI\r\n/" + QByteArray(16 << 20, 'y') + ".avi\r\n";
  const char withZeroBytes[] = "D:\0\r\n*.A\0VI;*.MPG\r\n/clips/a\0b.avi\r\n\0\r\n\0\0\0";
  const QByteArray zeros(withZeroBytes, sizeof withZeroBytes - 1);
  QByteArray manyLines = "\r\n*.AVI\r\n";
  for (int line = 0; line < 100000; ++line)
    manyLines += (line % 3 == 0 ? "\n" : "/clips/" + QByteArray::number(line) + ".avi\r\n");
  const std::pair<const char*, QByteArray> files[] = {{"random bytes", random},
                                                      {"one huge line", hugeLine},
                                                      {"one huge entry", hugeEntry},
                                                      {"zero bytes", zeros},
                                                      {"100,000 lines", manyLines}};
  for (const auto& [what, bytes] : files) {
    const auto broken = checkSettingsFile({bytes.constData(), static_cast<size_t>(bytes.size())});
    EXPECT_FALSE(broken) << what << ": " << broken.value_or("");
  }

  EXPECT_EQ(readFailure(hugeLine), ErrorNumber::Other) << "it ends before line 2";
  const Read withZeros = readBytes(zeros);
  EXPECT_EQ(withZeros.state.ScanDrive, QString("D:") + QChar(0));
  EXPECT_EQ(withZeros.entries().value(0), QString("/clips/a") + QChar(0) + "b.avi");
  EXPECT_EQ(readBytes(hugeEntry).entries().value(0).size(), (16 << 20) + 5);
  EXPECT_EQ(readBytes(manyLines).state.PlayCount, 1000);
}
