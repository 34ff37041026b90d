#pragma once

#include <QByteArray>

namespace platform {

// The PAM service the program authenticates with (/etc/pam.d/reelvista).
inline constexpr const char* kPamService = "reelvista";

// Asks PAM whether `password` is the password of `user`: pam_start with the
// service, PAM_TTY set to `display`, then pam_authenticate and pam_acct_mgmt.
// True when both succeed, or when the account step only says the password
// has expired: the right password was typed, and a saver cannot change it.
// Every prompt PAM asks without echo is answered with the password; text
// PAM shows is dropped. Blocks while PAM takes its time (it may wait seconds
// after a wrong password): call it off the GUI thread. The password's bytes
// are overwritten before it returns.
bool checkPassword(const QByteArray& user, QByteArray& password, const QByteArray& display,
                   const char* service = kPamService);

// The login name of the user running the program; empty when unknown.
QByteArray currentUserName();

// Overwrites the bytes in place, in a way the compiler keeps.
void wipe(QByteArray& bytes);

}  // namespace platform
