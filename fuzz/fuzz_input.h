#pragma once

#include <QByteArray>
#include <QList>
#include <string_view>

// Splits fuzz bytes into fields at the unit separator (0x1F), so that one
// input can describe several values.
inline QList<QByteArray> fuzzFields(std::string_view bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).split('\x1f');
}

inline QByteArray fuzzBytes(std::string_view bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
