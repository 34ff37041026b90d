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

// "*" and then ASCII without wildcards.
bool isAsciiEnding(const QString& foldedPattern) {
  if (foldedPattern.size() < 2 || foldedPattern[0] != '*')
    return false;
  for (qsizetype at = 1; at < foldedPattern.size(); ++at) {
    const char16_t unit = foldedPattern[at].unicode();
    if (unit >= 0x80 || unit == '*' || unit == '?')
      return false;
  }
  return true;
}

char16_t asciiFolded(char16_t unit) {
  return unit >= 'A' && unit <= 'Z' ? static_cast<char16_t>(unit - 'A' + 'a') : unit;
}

enum class Ending { Matches, Differs, Undecided };

// Whether the name ends with the folded ASCII ending. A name character
// outside ASCII where the ending lies leaves it undecided: some fold to
// ASCII (the Kelvin sign to "k").
Ending compareEnding(QStringView name, QStringView ending) {
  if (name.size() < ending.size())
    return Ending::Differs;
  const QStringView tail = name.last(ending.size());
  Ending result = Ending::Matches;
  for (qsizetype at = 0; at < ending.size(); ++at) {
    const char16_t unit = tail[at].unicode();
    if (unit >= 0x80)
      return Ending::Undecided;
    if (asciiFolded(unit) != ending[at].unicode())
      result = Ending::Differs;
  }
  return result;
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
  for (const QString& pattern : folded_) {
    if (isAsciiEnding(pattern))
      asciiEndings_.push_back(pattern);
    else
      others_ << pattern;
  }
}

// Every file of a walk is matched against every pattern: the usual pattern,
// a "*" and an extension, is a look at the name's last characters.
bool PatternList::matches(QStringView name) const {
  for (const QString& pattern : asciiEndings_) {
    switch (compareEnding(name, QStringView(pattern).sliced(1))) {
      case Ending::Matches:
        return true;
      case Ending::Differs:
        break;
      case Ending::Undecided:
        if (wildcardMatches(pattern, name))
          return true;
        break;
    }
  }
  for (const QString& pattern : others_) {
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
