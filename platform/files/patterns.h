#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace platform {

// A list of wildcard patterns separated by semicolons ("*.AVI;*.MPG"). A
// name matches when it matches any one of them: "*" stands for any run of
// characters, "?" for any one character, and letters match without regard
// to case. Blanks around a pattern are dropped, empty patterns ignored, so
// an empty list matches nothing. As on the desktops these patterns come
// from, a pattern ending in ".*" also matches a name without that dot
// ("*.*" matches every name, "README.*" matches "README").
class PatternList {
 public:
  PatternList() = default;
  explicit PatternList(const QString& list);

  bool matches(QStringView name) const;
  // The list as it was given.
  const QString& text() const { return text_; }

 private:
  QString text_;
  QStringList folded_;  // each pattern, case-folded once
  // Of those, the ones that are "*" and then plain ASCII ("*.avi"): a name
  // matches one of them when it ends with what follows the "*".
  std::vector<QString> asciiEndings_;
  QStringList others_;
};

// One pattern against one name; the pattern must be case-folded already.
bool wildcardMatches(QStringView foldedPattern, QStringView name);

}  // namespace platform
