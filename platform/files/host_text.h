#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

namespace platform {

// File names and the settings file are bytes on Linux, mostly UTF-8 but not
// always. The program holds text as QString; these two functions convert so
// that any byte string survives the round trip: valid UTF-8 decodes as usual,
// and each byte that is not part of valid UTF-8 becomes the lone surrogate
// U+DC80 + (byte - 0x80), which turns back into the same byte on the way out.
QString fromHostBytes(std::string_view bytes);
QByteArray toHostBytes(const QString& text);

}  // namespace platform
