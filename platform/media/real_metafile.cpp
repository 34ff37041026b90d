#include "platform/media/real_metafile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "platform/files/host_text.h"
#include "platform/files/path_kind.h"

namespace platform {
namespace {

constexpr qint64 kLargestMetafile = qint64{16} * 1024;

// Text has no bytes below a blank other than tab, line ends and form feed.
bool isText(const QByteArray& bytes) {
  return std::none_of(bytes.begin(), bytes.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f';
  });
}

// The file a "file:" URL names: "file:///a/b.rm", "file://localhost/a/b.rm"
// or "file:b.rm"; empty for a file on another host.
QByteArray fileUrlPath(const QByteArray& url) {
  QByteArray rest = url.mid(5);
  if (rest.startsWith("//")) {
    rest = rest.mid(2);
    const qsizetype slash = rest.indexOf('/');
    const QByteArray host = slash < 0 ? rest : rest.left(slash);
    if (!host.isEmpty() && host.toLower() != "localhost")
      return {};
    rest = slash < 0 ? QByteArray() : rest.mid(slash);
  }
  return QByteArray::fromPercentEncoding(rest);
}

// The local file one line names, made absolute against the metafile's folder;
// empty when it names none.
QString localName(const QByteArray& line, const QDir& folder) {
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
  QByteArray name = line;
  const QRegularExpressionMatch match = scheme.match(QString::fromLatin1(line.left(40)));
  if (match.hasMatch()) {
    if (match.captured().compare(QLatin1String("file:"), Qt::CaseInsensitive) != 0)
      return {};  // an address: never fetched
    name = fileUrlPath(line);
  }
  if (name.isEmpty() || name.contains('\0'))
    return {};
  return QDir::cleanPath(folder.absoluteFilePath(fromHostBytes(name.toStdString())));
}

}  // namespace

bool isRealMetafileName(const QString& path) {
  return path.endsWith(QLatin1String(".rmm"), Qt::CaseInsensitive) ||
         path.endsWith(QLatin1String(".ram"), Qt::CaseInsensitive);
}

QStringList readRealMetafile(const QString& path) {
  if (pathKind(path) != PathKind::ReadableFile)
    return {};
  QFile file(path);
  if (file.size() > kLargestMetafile || !file.open(QIODevice::ReadOnly))
    return {};
  // Read one byte past the limit: a file that grew since is refused too.
  const QByteArray bytes = file.read(kLargestMetafile + 1);
  if (bytes.size() > kLargestMetafile || !isText(bytes))
    return {};
  const QDir folder = QFileInfo(path).absoluteDir();
  QStringList files;
  for (QByteArray line : bytes.split('\n')) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#'))
      continue;
    const QString name = localName(line, folder);
    if (!name.isEmpty() && !isRealMetafileName(name) && pathKind(name) == PathKind::ReadableFile)
      files << name;
  }
  return files;
}

}  // namespace platform
