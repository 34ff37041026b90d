#include "fuzz/fuzz_input.h"
#include "fuzz/properties.h"
#include "platform/errors.h"
#include "platform/files/host_text.h"
#include "startup/settings_file.h"
#include "startup/shared_state.h"

namespace {

struct ReadBack {
  SharedState state;
  QStringList entries() const {
    QStringList list;
    for (int slot = 1; slot <= state.PlayCount; ++slot)
      list << state.PlayList[slot];
    return list;
  }
};

// Lines 1 and 2 are fields: a value the reader would cut or trim cannot be
// stored unquoted.
bool fieldCanHold(const QString& value) {
  return !value.contains(',') && !value.contains('\r') && !value.contains('\n') &&
         !value.startsWith('"') && !value.startsWith(' ') && !value.endsWith(' ');
}

bool entryCanHold(const QString& entry) {
  return !entry.contains('\r') && !entry.contains('\n');
}

std::optional<std::string> checkRoundTrip(const SettingsFileContents& contents) {
  ReadBack back;
  try {
    parseSettingsFile(encodeSettingsFile(contents), back.state);
  } catch (const platform::PlatformError& error) {
    return "a written file did not read back: " + error.description().toStdString();
  }
  if (back.state.ScanDrive != contents.scanDrive)
    return "line 1 changed";
  if (back.state.NoDriveScan != contents.scanDrive.isEmpty())
    return "the scan switch changed";
  if (back.state.FileSpec != contents.patterns)
    return "line 2 changed";
  if (back.entries() != contents.entries)
    return "the play list changed";
  return std::nullopt;
}

// Whatever the bytes, reading either fails cleanly or gives a state that
// saves and reads back unchanged.
std::optional<std::string> checkArbitraryFile(std::string_view bytes) {
  ReadBack read;
  try {
    parseSettingsFile(fuzzBytes(bytes), read.state);
  } catch (const platform::PlatformError& error) {
    if (error.number() != platform::ErrorNumber::Other)
      return "a read failure of the wrong kind";
    return std::nullopt;
  }
  if (read.state.PlayCount < 0 || read.state.PlayCount > kMaxPlayCount)
    return "PlayCount outside the play list";
  if (read.state.NoDriveScan != read.state.ScanDrive.isEmpty())
    return "the scan switch disagrees with line 1";
  const SettingsFileContents contents{read.state.ScanDrive, read.state.FileSpec, read.entries()};
  if (!fieldCanHold(contents.scanDrive) || !fieldCanHold(contents.patterns))
    return std::nullopt;  // a quoted value: the writer stores values unquoted
  return checkRoundTrip(contents);
}

// The bytes as values the dialog could save: line 1, line 2, entries.
std::optional<std::string> checkWrittenValues(std::string_view bytes) {
  const QList<QByteArray> fields = fuzzFields(bytes);
  if (fields.size() < 2)
    return std::nullopt;
  SettingsFileContents contents{platform::fromHostBytes(fields[0].toStdString()),
                                platform::fromHostBytes(fields[1].toStdString()),
                                {}};
  for (qsizetype i = 2; i < fields.size() && i - 2 < kMaxPlayCount; ++i)
    contents.entries << platform::fromHostBytes(fields[i].toStdString());
  if (!fieldCanHold(contents.scanDrive) || !fieldCanHold(contents.patterns))
    return std::nullopt;
  for (const QString& entry : contents.entries) {
    if (!entryCanHold(entry))
      return std::nullopt;
  }
  return checkRoundTrip(contents);
}

}  // namespace

std::optional<std::string> checkSettingsFile(std::string_view bytes) {
  if (auto failure = checkArbitraryFile(bytes))
    return failure;
  return checkWrittenValues(bytes);
}
