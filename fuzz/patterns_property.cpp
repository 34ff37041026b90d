#include <QChar>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/properties.h"
#include "platform/files/host_text.h"
#include "platform/files/patterns.h"

namespace {

// Code points, each case-folded on its own. A lone surrogate (a byte of a
// name that is not UTF-8) stands for itself; QString::toUcs4 would turn it
// into U+FFFD and so make unlike names alike.
std::u32string foldedCodePoints(const QString& text) {
  std::u32string folded;
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t codePoint = text[i].unicode();
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
      ++i;
    }
    folded += QChar::toCaseFolded(codePoint);
  }
  return folded;
}

// The plain matcher: a table of which pattern prefixes match which name
// prefixes. Slow, and obviously right.
bool plainMatch(const std::u32string& pattern, const std::u32string& name) {
  const size_t width = name.size() + 1;
  std::vector<char> table((pattern.size() + 1) * width, 0);
  auto at = [&](size_t p, size_t n) -> char& { return table[p * width + n]; };
  at(0, 0) = 1;
  for (size_t p = 1; p <= pattern.size(); ++p) {
    const char32_t wanted = pattern[p - 1];
    at(p, 0) = wanted == U'*' && at(p - 1, 0);
    for (size_t n = 1; n <= name.size(); ++n) {
      if (wanted == U'*')
        at(p, n) = at(p - 1, n) || at(p, n - 1);
      else
        at(p, n) = (wanted == U'?' || wanted == name[n - 1]) && at(p - 1, n - 1);
    }
  }
  return at(pattern.size(), name.size());
}

// What the list should say: any one pattern, blanks around it dropped; one
// ending in ".*" also matches without the dot.
bool plainListMatch(const QString& list, const QString& name) {
  const std::u32string foldedName = foldedCodePoints(name);
  for (const QString& raw : list.split(';')) {
    const QString pattern = raw.trimmed();
    if (pattern.isEmpty())
      continue;
    if (plainMatch(foldedCodePoints(pattern), foldedName))
      return true;
    if (pattern.endsWith(QStringLiteral(".*")) &&
        plainMatch(foldedCodePoints(pattern.chopped(2)), foldedName))
      return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> checkPatterns(std::string_view bytes) {
  const QList<QByteArray> fields = fuzzFields(bytes);
  if (fields.size() < 2 || fields[0].size() > 200 || fields[1].size() > 200)
    return std::nullopt;  // the table grows with both lengths
  const QString list = platform::fromHostBytes(fields[0].toStdString());
  const QString name = platform::fromHostBytes(fields[1].toStdString());
  const platform::PatternList patterns(list);
  if (patterns.matches(name) != plainListMatch(list, name))
    return "the pattern list and the plain matcher disagree";
  return std::nullopt;
}
