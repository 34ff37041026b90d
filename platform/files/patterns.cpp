#include "platform/files/patterns.h"

namespace platform {
namespace {

// The folded form of the character at name[at], and how many code units it
// takes (2 for a character outside the basic plane).
char32_t foldedAt(QStringView name, qsizetype at, qsizetype& units) {
  const QChar first = name[at];
  if (first.isHighSurrogate() && at + 1 < name.size() && name[at + 1].isLowSurrogate()) {
    units = 2;
    return QChar::toCaseFolded(QChar::surrogateToUcs4(first, name[at + 1]));
  }
  units = 1;
  return QChar::toCaseFolded(first.unicode());
}

// The whole text case-folded character by character. QString::toCaseFolded
// would turn a lone surrogate (a name byte that is not UTF-8) into U+FFFD,
// and the pattern would then match names it does not name.
QString caseFolded(QStringView text) {
  QString folded;
  folded.reserve(text.size());
  for (qsizetype at = 0; at < text.size();) {
    qsizetype units = 1;
    const char32_t codePoint = foldedAt(text, at, units);
    if (QChar::requiresSurrogates(codePoint)) {
      folded += QChar(QChar::highSurrogate(codePoint));
      folded += QChar(QChar::lowSurrogate(codePoint));
    } else {
      folded += QChar(static_cast<char16_t>(codePoint));
    }
    at += units;
  }
  return folded;
}

}  // namespace

PatternList::PatternList(const QString& list) : text_(list) {
  for (const QString& pattern : list.split(';')) {
    const QString trimmed = pattern.trimmed();
    if (trimmed.isEmpty())
      continue;
    const QString folded = caseFolded(trimmed);
    folded_ << folded;
    if (folded.endsWith(QStringLiteral(".*")))
      folded_ << folded.chopped(2);
  }
}

bool PatternList::matches(QStringView name) const {
  for (const QString& pattern : folded_) {
    if (wildcardMatches(pattern, name))
      return true;
  }
  return false;
}

// Greedy matching with one point to fall back to, the last "*" seen: each
// later "*" makes the earlier ones irrelevant, so this never backtracks more
// than once per name character.
bool wildcardMatches(QStringView foldedPattern, QStringView name) {
  qsizetype p = 0;
  qsizetype n = 0;
  qsizetype star = -1;
  qsizetype starName = 0;
  while (n < name.size()) {
    qsizetype units = 1;
    if (p < foldedPattern.size() && foldedPattern[p] != '*') {
      const char32_t wanted = foldedPattern[p].unicode();
      const char32_t got = foldedAt(name, n, units);
      qsizetype patternUnits = 1;
      const char32_t wantedFolded = wanted == '?' ? got : foldedAt(foldedPattern, p, patternUnits);
      if (wantedFolded == got) {
        p += patternUnits;
        n += units;
        continue;
      }
    } else if (p < foldedPattern.size()) {
      star = p++;
      starName = n;
      continue;
    }
    if (star < 0)
      return false;
    p = star + 1;
    foldedAt(name, starName, units);
    starName += units;
    n = starName;
  }
  while (p < foldedPattern.size() && foldedPattern[p] == '*')
    ++p;
  return p == foldedPattern.size();
}

}  // namespace platform
