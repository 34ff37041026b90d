#include "platform/lock/user_registry.h"

#include <QByteArrayList>
#include <cstdio>

#include "platform/errors.h"
#include "platform/files/files.h"

namespace platform {
namespace {

const QString kUserRoot = QStringLiteral("HKEY_CURRENT_USER");

// The file's logical lines: CR LF or LF ends a line, and a line whose last
// character is a backslash goes on in the next one (hex values run long).
QByteArrayList logicalLines(QByteArray text) {
  if (text.startsWith("\xEF\xBB\xBF"))
    text.remove(0, 3);
  QByteArrayList lines;
  QByteArray pending;
  for (QByteArray line : text.split('\n')) {
    if (line.endsWith('\r'))
      line.chop(1);
    line = line.trimmed();
    if (line.endsWith('\\') && !line.startsWith('[')) {
      line.chop(1);
      pending += line;
      continue;
    }
    lines << pending + line;
    pending.clear();
  }
  if (!pending.isEmpty())
    lines << pending;
  return lines;
}

// Reads a quoted text starting at `at` (which holds the opening quote), with
// \\ and \" as the escapes; moves `at` past the closing quote.
std::optional<QByteArray> quoted(const QByteArray& line, qsizetype& at) {
  if (at >= line.size() || line[at] != '"')
    return std::nullopt;
  QByteArray text;
  for (++at; at < line.size(); ++at) {
    const char c = line[at];
    if (c == '"') {
      ++at;
      return text;
    }
    if (c == '\\') {
      if (++at >= line.size())
        return std::nullopt;
      text += line[at];
      continue;
    }
    text += c;
  }
  return std::nullopt;
}

std::optional<QByteArray> dwordBytes(const QByteArray& digits) {
  if (digits.isEmpty() || digits.size() > 8)
    return std::nullopt;
  bool ok = false;
  const std::uint32_t number = digits.toUInt(&ok, 16);
  if (!ok)
    return std::nullopt;
  QByteArray bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  return bytes;
}

std::optional<QByteArray> hexBytes(const QByteArray& list) {
  QByteArray bytes;
  if (list.trimmed().isEmpty())
    return bytes;
  for (const QByteArray& item : list.split(',')) {
    const QByteArray digits = item.trimmed();
    bool ok = false;
    const uint byte = digits.toUInt(&ok, 16);
    if (digits.isEmpty() || digits.size() > 2 || !ok)
      return std::nullopt;
    bytes += static_cast<char>(byte);
  }
  return bytes;
}

// The data after the '=': a string, a dword or hex bytes.
std::optional<QByteArray> valueData(const QByteArray& data) {
  if (data.startsWith('"')) {
    qsizetype at = 0;
    std::optional<QByteArray> text = quoted(data, at);
    if (!text || at != data.size())
      return std::nullopt;
    return *text + '\0';
  }
  const qsizetype colon = data.indexOf(':');
  if (colon < 0)
    return std::nullopt;
  const QByteArray kind = data.left(colon).trimmed().toLower();
  const QByteArray rest = data.mid(colon + 1).trimmed();
  if (kind == "dword")
    return dwordBytes(rest);
  if (kind == "hex" || (kind.startsWith("hex(") && kind.endsWith(')')))
    return hexBytes(rest);
  return std::nullopt;
}

// The key a section line names, relative to the current user's root; empty
// when it names another root (its values are not ours to read).
std::optional<QString> sectionKey(const QByteArray& line) {
  if (!line.endsWith(']'))
    return std::nullopt;
  QString path = QString::fromUtf8(line.mid(1, line.size() - 2)).trimmed();
  if (path.startsWith('-'))
    return QString();  // a key being deleted holds nothing
  if (path.compare(kUserRoot, Qt::CaseInsensitive) == 0)
    return QStringLiteral("\\");
  if (!path.startsWith(kUserRoot + '\\', Qt::CaseInsensitive))
    return QString();
  return path.mid(kUserRoot.size() + 1);
}

struct ValueLine {
  QString name;
  std::optional<QByteArray> data;  // nothing: the value is deleted ("name"=-)
};

std::optional<ValueLine> valueLine(const QByteArray& line) {
  qsizetype at = 0;
  ValueLine value;
  if (line.startsWith('@')) {
    at = 1;  // the key's default value, which has no name
  } else {
    std::optional<QByteArray> name = quoted(line, at);
    if (!name)
      return std::nullopt;
    value.name = QString::fromUtf8(*name);
  }
  const QByteArray rest = line.mid(at).trimmed();
  if (!rest.startsWith('='))
    return std::nullopt;
  const QByteArray data = rest.mid(1).trimmed();
  if (data == "-")
    return value;
  value.data = valueData(data);
  if (!value.data)
    return std::nullopt;
  return value;
}

}  // namespace

QString registryPath(const QString& key, const QString& name) {
  QString trimmedKey = key;
  while (trimmedKey.endsWith('\\'))
    trimmedKey.chop(1);
  return trimmedKey.toLower() + '\\' + name.toLower();
}

std::uint32_t readNumber(const UserRegistry& registry, const QString& key, const QString& name) {
  std::uint32_t number = 0;
  const std::optional<QByteArray> bytes = registry.value(key, name);
  if (!bytes)
    return number;
  const qsizetype count = std::min<qsizetype>(bytes->size(), 4);
  for (qsizetype i = 0; i < count; ++i)
    number |= std::uint32_t(static_cast<unsigned char>(bytes->at(i))) << (8 * i);
  return number;
}

bool usesPassword(const UserRegistry& registry) {
  return readNumber(registry, QStringLiteral("Control Panel\\Desktop"),
                    QStringLiteral("ScreenSaveUsePassword")) == 1;
}

std::optional<RegistryValues> parseRegistryText(const QByteArray& text, QString* problem) {
  const auto fail = [problem](int lineNumber, const char* why) -> std::optional<RegistryValues> {
    if (problem)
      *problem = QStringLiteral("line %1: %2").arg(lineNumber).arg(QString::fromUtf8(why));
    return std::nullopt;
  };
  RegistryValues values;
  bool headerSeen = false;
  std::optional<QString> key;  // empty: a section whose values are not kept
  int lineNumber = 0;
  for (const QByteArray& line : logicalLines(text)) {
    ++lineNumber;
    if (line.isEmpty() || line.startsWith(';'))
      continue;
    if (!headerSeen) {
      if (line != "REGEDIT4")
        return fail(lineNumber, "the file does not start with REGEDIT4");
      headerSeen = true;
    } else if (line.startsWith('[')) {
      key = sectionKey(line);
      if (!key)
        return fail(lineNumber, "a key name that does not end with ]");
    } else if (!key) {
      return fail(lineNumber, "a value before the first key");
    } else if (std::optional<ValueLine> value = valueLine(line)) {
      if (key->isEmpty())
        continue;
      const QString path = registryPath(*key == "\\" ? QString() : *key, value->name);
      if (value->data)
        values.insert(path, *value->data);
      else
        values.remove(path);
    } else {
      return fail(lineNumber, "a line that is neither a key nor a value");
    }
  }
  if (!headerSeen)
    return fail(lineNumber, "the file does not start with REGEDIT4");
  return values;
}

FileUserRegistry::FileUserRegistry() : FileUserRegistry(userConfigFolder() + "/user.reg") {}

FileUserRegistry::FileUserRegistry(QString file) : file_(std::move(file)) {}

std::optional<QByteArray> FileUserRegistry::value(const QString& key, const QString& name) const {
  QByteArray text;
  try {
    text = readWholeFile(file_);
  } catch (const PlatformError& error) {
    const bool missing =
        error.number() == ErrorNumber::FileNotFound || error.number() == ErrorNumber::PathNotFound;
    if (!missing && !complained_)
      std::fprintf(stderr, "Reelvista: %s\n", qPrintable(error.description()));
    complained_ = complained_ || !missing;
    return std::nullopt;
  }
  QString problem;
  const std::optional<RegistryValues> values = parseRegistryText(text, &problem);
  if (!values) {
    if (!complained_)
      std::fprintf(stderr, "Reelvista: %s, %s: no value in it is read.\n", qPrintable(file_),
                   qPrintable(problem));
    complained_ = true;
    return std::nullopt;
  }
  const auto found = values->constFind(registryPath(key, name));
  if (found == values->constEnd())
    return std::nullopt;
  return *found;
}

}  // namespace platform
