#include "fuzz/fuzz_input.h"
#include "fuzz/properties.h"
#include "platform/files/drive_table.h"
#include "platform/files/host_text.h"

namespace {

// Any bytes: every drive read is a letter with an absolute source, each
// letter at most once.
std::optional<std::string> checkArbitraryFile(std::string_view bytes) {
  QString seen;
  for (const platform::DriveLine& line : platform::parseDrivesFile(fuzzBytes(bytes))) {
    if (line.letter < 'A' || line.letter > 'Z')
      return "a drive letter that is not A to Z";
    if (!line.source.startsWith('/'))
      return "a drive whose source is not an absolute path";
    if (seen.contains(line.letter))
      return "a letter given twice";
    seen += line.letter;
  }
  return std::nullopt;
}

// Fields as lines "X: /source": a line in that form reads back as written,
// the first line of a letter winning.
std::optional<std::string> checkWrittenLines(std::string_view bytes) {
  QByteArray file;
  std::vector<platform::DriveLine> expected;
  for (const QByteArray& field : fuzzFields(bytes)) {
    if (field.isEmpty())
      continue;
    const char letter = static_cast<char>('A' + static_cast<unsigned char>(field[0]) % 26);
    QByteArray source = "/" + field.mid(1).trimmed();
    if (source.contains('\n') || source.contains('\r'))
      continue;
    const QString decoded = platform::fromHostBytes(source.toStdString());
    if (decoded.trimmed() != decoded)
      continue;  // blanks the reader would drop, in a byte it reads as blank
    file += QByteArray(1, letter) + ": " + source + "\n";
    const bool known = std::any_of(expected.begin(), expected.end(),
                                   [&](const auto& line) { return line.letter == letter; });
    if (!known)
      expected.push_back({QChar(letter), decoded});
  }
  const std::vector<platform::DriveLine> read = platform::parseDrivesFile(file);
  if (read.size() != expected.size())
    return "a written drive line was lost or invented";
  for (size_t i = 0; i < read.size(); ++i) {
    if (read[i].letter != expected[i].letter || read[i].source != expected[i].source)
      return "a written drive line read back differently";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> checkDrivesFile(std::string_view bytes) {
  if (auto failure = checkArbitraryFile(bytes))
    return failure;
  return checkWrittenLines(bytes);
}
