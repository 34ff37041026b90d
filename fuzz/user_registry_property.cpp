#include <QMap>
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "fuzz/properties.h"
#include "platform/lock/user_registry.h"

namespace {

const QString kKey = QStringLiteral("Control Panel\\Desktop");

QByteArray escaped(const QByteArray& text) {
  QByteArray out;
  for (char c : text) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out;
}

// A value name from the field's bytes: printable ASCII, made unique by its
// position so that no two values share a name.
QByteArray valueName(int index, const QByteArray& field) {
  QByteArray name = "v" + QByteArray::number(index);
  for (char c : field.left(8)) {
    if (c >= ' ' && c <= '~')
      name += c;
  }
  return name;
}

QByteArray hexList(const QByteArray& bytes) {
  QByteArray list;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (i > 0)
      list += (i % 16 == 0) ? ",\\\r\n  " : ",";  // long values go on over lines
    list += QByteArray::number(static_cast<unsigned char>(bytes[i]), 16).rightJustified(2, '0');
  }
  return list;
}

struct Written {
  QByteArray line;
  QByteArray expected;
};

// One value in one of the three forms, chosen by the field's first byte.
Written writtenValue(const QByteArray& name, char kind, const QByteArray& payload) {
  const QByteArray quotedName = "\"" + escaped(name) + "\"=";
  switch (static_cast<unsigned char>(kind) % 3) {
    case 0: {
      std::uint32_t number = 0;
      for (qsizetype i = 0; i < std::min<qsizetype>(payload.size(), 4); ++i)
        number |= std::uint32_t(static_cast<unsigned char>(payload[i])) << (8 * i);
      QByteArray bytes(4, '\0');
      for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(number >> (8 * i));
      return {quotedName + "dword:" + QByteArray::number(number, 16).rightJustified(8, '0'), bytes};
    }
    case 1: {
      QByteArray text;
      for (char c : payload) {
        if (c != '\n' && c != '\r' && c != '\0')
          text += c;
      }
      return {quotedName + "\"" + escaped(text) + "\"", text + '\0'};
    }
    default:
      return {quotedName + "hex:" + hexList(payload), payload};
  }
}

std::optional<std::string> checkWrittenValues(std::string_view bytes) {
  QByteArray file = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n";
  QMap<QByteArray, QByteArray> expected;
  int index = 0;
  for (const QByteArray& field : fuzzFields(bytes)) {
    if (field.isEmpty())
      continue;
    const QByteArray name = valueName(index++, field.mid(1));
    const Written value = writtenValue(name, field[0], field.mid(1 + 8));
    file += value.line + "\r\n";
    expected[name] = value.expected;
  }
  QString problem;
  const std::optional<platform::RegistryValues> values =
      platform::parseRegistryText(file, &problem);
  if (!values)
    return "a written file did not read: " + problem.toStdString();
  for (auto it = expected.begin(); it != expected.end(); ++it) {
    const auto found = values->find(platform::registryPath(kKey, QString::fromLatin1(it.key())));
    if (found == values->end())
      return "a written value was lost";
    if (*found != it.value())
      return "a written value read back with other bytes";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> checkUserRegistry(std::string_view bytes) {
  // Any bytes: read or refused, never more than what the text names.
  if (const auto values = platform::parseRegistryText(fuzzBytes(bytes))) {
    for (auto it = values->begin(); it != values->end(); ++it) {
      if (it.key() != it.key().toLower())
        return "a value path that is not folded to lower case";
    }
  }
  return checkWrittenValues(bytes);
}
