#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary folder removed with its contents at the end of the test,
// read-only parts included.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();

  QString path() const { return dir_.path(); }
  // Path of a name inside the folder.
  QString operator/(const QString& name) const { return path() + "/" + name; }

  // Writes the bytes to the named file, making folders on the way.
  QString write(const QString& name, const QByteArray& bytes) const;
  QByteArray read(const QString& name) const;

 private:
  QTemporaryDir dir_;
};
