#include "support/pam_matrix.h"

#include <QFile>

namespace {

const QString kWrapper = QStringLiteral("/usr/lib/x86_64-linux-gnu/libpam_wrapper.so");
const QString kMatrix = QStringLiteral("/usr/lib/x86_64-linux-gnu/pam_wrapper/pam_matrix.so");

// What a process built with AddressSanitizer needs besides to run with
// pam_wrapper preloaded: the sanitizer's runtime must not insist on coming
// first among the libraries, and pam_wrapper must open the real PAM without
// RTLD_DEEPBIND, which the runtime refuses. pam_wrapper 1.1.4 reads that
// switch under uid_wrapper's name: both names are set.
QList<std::pair<QString, QString>> besideAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return {{"ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS") + ":verify_asan_link_order=0"},
          {"PAM_WRAPPER_DISABLE_DEEPBIND", "1"},
          {"UID_WRAPPER_DISABLE_DEEPBIND", "1"}};
#else
  return {};
#endif
}

}  // namespace

PamMatrix::PamMatrix(const QByteArray& passwordLines) {
  const QString passwords = folder_.write("passdb", passwordLines);
  const QByteArray module = kMatrix.toUtf8() + " passdb=" + passwords.toUtf8() + "\n";
  folder_.write("services/reelvista", "auth required " + module + "account required " + module);
}

QString PamMatrix::unavailable() {
  if (!QFile::exists(kWrapper) || !QFile::exists(kMatrix))
    return QStringLiteral("libpam-wrapper is not installed");
  return {};
}

QList<std::pair<QString, QString>> PamMatrix::environment() const {
  return QList<std::pair<QString, QString>>{{"LD_PRELOAD", kWrapper},
                                            {"PAM_WRAPPER", "1"},
                                            {"PAM_WRAPPER_SERVICE_DIR", folder_ / "services"}} +
         besideAddressSanitizer();
}
