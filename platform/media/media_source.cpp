#include "platform/media/media_source.h"

#include <QFileInfo>
#include <QStringDecoder>

#include "platform/files/host_text.h"
#include "platform/files/path_kind.h"

namespace platform {
namespace {

// A name mpv's commands cannot carry as it is (bytes that are not UTF-8, or
// control characters) goes as a local file address with every such byte
// escaped; mpv turns it back into the same bytes.
QString asFileAddress(const QByteArray& bytes) {
  return QStringLiteral("file://") +
         QString::fromLatin1(bytes.toPercentEncoding("/!$&'()*+,;=:@-._~"));
}

bool isPlainText(const QByteArray& bytes) {
  for (const char byte : bytes) {
    if (static_cast<unsigned char>(byte) < 0x20 || byte == 0x7f)
      return false;
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  [[maybe_unused]] const QString decoded = utf8(bytes);
  return !utf8.hasError();
}

}  // namespace

// Only a readable regular file, by its absolute name: mpv would play a
// folder's contents as a list of its own, wait for ever on a pipe nobody
// writes to, read "-" as standard input and a name with "://" as an address.
std::optional<QString> mpvSource(const QString& path) {
  if (path.isEmpty() || path.contains(QChar(0)) || pathKind(path) != PathKind::ReadableFile)
    return std::nullopt;
  const QByteArray bytes = toHostBytes(QFileInfo(path).absoluteFilePath());
  if (isPlainText(bytes))
    return QString::fromUtf8(bytes);
  return asFileAddress(bytes);
}

}  // namespace platform
