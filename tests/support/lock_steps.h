#pragma once

#include <QString>

#include "support/program_run.h"

// What a person does at the locked saver, through the keyboard as the X
// server sees it (XTEST), never through events sent to a window.

inline const QString kPromptTitle = QStringLiteral("Reelvista password");
inline const QString kPlaybackTitle = QStringLiteral("Reelvista");
// The password the tests give the user running them, through pam_matrix.
inline const QString kPassword = QStringLiteral("open sesame");

// Why the lock cannot be tried here (no X display, no PAM of the tests'
// own), or empty when it can.
QString whyTheLockCannotBeTried();
// Presses the key until the prompt shows, as a person presses again a key
// that seemed lost; the prompt's id, or empty when none came in time or the
// saver ended.
QString openPromptWithKey(ProgramRun& saver, const QString& key = QStringLiteral("x"));
// Escape until no prompt is shown; false when one still is.
bool closePrompt(ProgramRun& saver);
// Types the text, a key every delay milliseconds, and Return.
void typeAndReturn(const QString& text, int delay = 20);
