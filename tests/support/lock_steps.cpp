#include "support/lock_steps.h"

#include <QDeadlineTimer>

QString whyTheLockCannotBeTried() {
  if (!haveDisplay())
    return QStringLiteral("needs an X display; ./x test provides one");
  return PamMatrix::unavailable();
}

QString openPromptWithKey(ProgramRun& saver, const QString& key) {
  const QDeadlineTimer deadline(20000);
  QString prompt;
  while (prompt.isEmpty() && !deadline.hasExpired() && !saver.waitForExit(0).has_value()) {
    ProgramRun::xdotool({"key", key});
    prompt = saver.waitForWindow(kPromptTitle, 2000);
  }
  return prompt;
}

bool closePrompt(ProgramRun& saver) {
  for (int press = 0; press < 3; ++press) {
    if (saver.waitForNoWindow(kPromptTitle, 300))
      return true;
    ProgramRun::xdotool({"key", "Escape"});
  }
  return saver.waitForNoWindow(kPromptTitle, 5000);
}

void typeAndReturn(const QString& text, int delay) {
  if (!text.isEmpty())
    ProgramRun::xdotool({"type", "--delay", QString::number(delay), text});
  ProgramRun::xdotool({"key", "Return"});
}
