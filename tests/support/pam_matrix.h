#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

#include "support/temp_folder.h"

// PAM for tests: pam_wrapper, preloaded into a process, gives the service
// "reelvista" our own service file, which checks passwords with pam_matrix
// against a password file the test writes.
class PamMatrix {
 public:
  // Lines of "user:password:service"; a user may log in to that service only.
  explicit PamMatrix(const QByteArray& passwordLines);

  // Why PAM cannot be tested this way here, or empty when it can.
  static QString unavailable();
  // The names and values a process needs in its environment to check
  // passwords through it.
  QList<std::pair<QString, QString>> environment() const;

 private:
  TempFolder folder_;
};
