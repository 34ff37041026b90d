#pragma once

#include <QString>

inline const QString kAboutTitle = QStringLiteral("About Reelvista Screensaver");

// The About box's text: seven lines, separated by line feeds alone.
QString aboutText();
