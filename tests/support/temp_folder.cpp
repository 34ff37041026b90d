#include "support/temp_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

TempFolder::TempFolder() : dir_(QDir::tempPath() + "/reelvista-test-XXXXXX") {
  if (!dir_.isValid())
    throw std::runtime_error("cannot make a temporary folder");
}

TempFolder::~TempFolder() {
  // Give back write permission a test took away, so that removal works.
  QDirIterator it(path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                  QDirIterator::Subdirectories);
  QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  while (it.hasNext()) {
    QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
}

QString TempFolder::write(const QString& name, const QByteArray& bytes) const {
  QString file = *this / name;
  QDir().mkpath(QFileInfo(file).path());
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
    throw std::runtime_error("cannot write " + file.toStdString());
  }
  return file;
}

QByteArray TempFolder::read(const QString& name) const {
  QFile in(*this / name);
  if (!in.open(QIODevice::ReadOnly))
    return {};
  return in.readAll();
}
