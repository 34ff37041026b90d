#include "startup/settings_file.h"

#include <string_view>

#include "platform/errors.h"
#include "platform/files/files.h"
#include "platform/files/host_text.h"
#include "startup/shared_state.h"

using platform::ErrorNumber;
using platform::PlatformError;

bool fitsOnOneLine(const QString& text) {
  return !text.contains('\r') && !text.contains('\n');
}

QString settingsFilePath(const QString& settingsFolder) {
  // A folder that already ends with the separator (the root) gets none more.
  const QString separator = settingsFolder.endsWith('/') ? QString() : QStringLiteral("/");
  return settingsFolder + separator + kSettingsFileName;
}

namespace {

// Reads the settings file's bytes field by field and line by line. A line
// ends at CR LF, at a lone CR or at a lone LF, so a file edited with a Linux
// editor reads as the user sees it.
class SettingsReader {
 public:
  explicit SettingsReader(std::string_view bytes) : bytes_(bytes) {}

  bool atEnd() const { return at_ >= bytes_.size(); }

  // One value of lines 1 and 2: blanks before it skipped; a quoted value runs
  // to the closing quote and the rest up to a comma or the line end is
  // dropped; otherwise it runs to the first comma or line end, trailing blanks
  // dropped. The comma or line end is consumed; after a comma the next field
  // starts right behind it.
  QString readField(int lineNumber) {
    if (atEnd()) {
      throw PlatformError(ErrorNumber::Other,
                          QStringLiteral("The settings file ends before line %1.").arg(lineNumber));
    }
    while (!atEnd() && bytes_[at_] == ' ')
      ++at_;
    if (!atEnd() && bytes_[at_] == '"')
      return readQuotedField();
    const size_t start = at_;
    while (!atEnd() && bytes_[at_] != ',' && !atLineEnd())
      ++at_;
    size_t end = at_;
    while (end > start && bytes_[end - 1] == ' ')
      --end;
    consumeTerminator();
    return platform::fromHostBytes(bytes_.substr(start, end - start));
  }

  // The rest of the current line, whole: blanks, commas and quotes included.
  QString readLine() {
    const size_t start = at_;
    while (!atEnd() && !atLineEnd())
      ++at_;
    const size_t end = at_;
    consumeLineEnd();
    return platform::fromHostBytes(bytes_.substr(start, end - start));
  }

 private:
  bool atLineEnd() const { return bytes_[at_] == '\r' || bytes_[at_] == '\n'; }

  void consumeLineEnd() {
    if (atEnd())
      return;
    if (bytes_[at_] == '\r' && at_ + 1 < bytes_.size() && bytes_[at_ + 1] == '\n')
      ++at_;
    ++at_;
  }

  void consumeTerminator() {
    if (atEnd())
      return;
    if (bytes_[at_] == ',') {
      ++at_;
    } else {
      consumeLineEnd();
    }
  }

  QString readQuotedField() {
    ++at_;  // the opening quote
    const size_t start = at_;
    while (!atEnd() && bytes_[at_] != '"' && !atLineEnd())
      ++at_;
    const size_t end = at_;
    while (!atEnd() && bytes_[at_] != ',' && !atLineEnd())
      ++at_;
    consumeTerminator();
    return platform::fromHostBytes(bytes_.substr(start, end - start));
  }

  std::string_view bytes_;
  size_t at_ = 0;
};

int countLinesLeft(SettingsReader& reader) {
  int count = 0;
  for (; !reader.atEnd(); ++count)
    reader.readLine();
  return count;
}

}  // namespace

SettingsReadReport readSettingsFile(const QString& path, SharedState& state) {
  return parseSettingsFile(platform::readWholeFile(path), state);
}

SettingsReadReport parseSettingsFile(const QByteArray& bytes, SharedState& state) {
  SettingsReader reader(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  state.ScanDrive = reader.readField(1);
  if (state.ScanDrive.isEmpty())
    state.NoDriveScan = true;
  state.FileSpec = reader.readField(2);
  SettingsReadReport report;
  while (!reader.atEnd()) {
    if (state.PlayCount == kMaxPlayCount) {
      report.entriesLeftOut = countLinesLeft(reader);
      break;
    }
    ++state.PlayCount;
    state.PlayList[state.PlayCount] = reader.readLine();
  }
  return report;
}

QByteArray encodeSettingsFile(const SettingsFileContents& contents) {
  QByteArray bytes;
  auto writeLine = [&bytes](const QString& line) {
    bytes += platform::toHostBytes(line);
    bytes += "\r\n";
  };
  writeLine(contents.scanDrive);
  writeLine(contents.patterns);
  for (const QString& entry : contents.entries)
    writeLine(entry);
  return bytes;
}

namespace {

void checkLoadable(const SettingsFileContents& contents) {
  if (contents.entries.size() > kMaxPlayCount) {
    throw PlatformError(ErrorNumber::Other,
                        QStringLiteral("The play list holds %1 entries; the screen saver can load "
                                       "no more than %2.")
                            .arg(contents.entries.size())
                            .arg(kMaxPlayCount));
  }
  for (const QString& entry : contents.entries) {
    if (!fitsOnOneLine(entry)) {
      throw PlatformError(ErrorNumber::Other,
                          "A play-list entry holds a line break and cannot be saved: " + entry);
    }
  }
  if (!fitsOnOneLine(contents.scanDrive) || !fitsOnOneLine(contents.patterns)) {
    throw PlatformError(ErrorNumber::Other, "The drive or the pattern list holds a line break.");
  }
}

}  // namespace

void writeSettingsFile(const QString& path, const SettingsFileContents& contents) {
  checkLoadable(contents);
  platform::replaceFile(path, encodeSettingsFile(contents));
}
