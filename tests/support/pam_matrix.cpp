#include "support/pam_matrix.h"

#include <QFile>

namespace {

const QString kWrapper = QStringLiteral("/usr/lib/x86_64-linux-gnu/libpam_wrapper.so");
const QString kMatrix = QStringLiteral("/usr/lib/x86_64-linux-gnu/pam_wrapper/pam_matrix.so");

}  // namespace

PamMatrix::PamMatrix(const QByteArray& passwordLines) {
  const QString passwords = folder_.write("passdb", passwordLines);
  const QByteArray module = kMatrix.toUtf8() + " passdb=" + passwords.toUtf8() + "\n";
  folder_.write("services/reelvista", "auth required " + module + "account required " + module);
}

QString PamMatrix::unavailable() {
#if defined(__SANITIZE_ADDRESS__)
  // pam_wrapper opens PAM with RTLD_DEEPBIND, which AddressSanitizer's
  // runtime cannot share a process with.
  return QStringLiteral("pam_wrapper cannot run beside AddressSanitizer");
#else
  if (!QFile::exists(kWrapper) || !QFile::exists(kMatrix))
    return QStringLiteral("libpam-wrapper is not installed");
  return {};
#endif
}

QList<std::pair<QString, QString>> PamMatrix::environment() const {
  return {{"LD_PRELOAD", kWrapper},
          {"PAM_WRAPPER", "1"},
          {"PAM_WRAPPER_SERVICE_DIR", folder_ / "services"}};
}
