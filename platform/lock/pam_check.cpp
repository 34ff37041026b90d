#include "platform/lock/pam_check.h"

#include <pwd.h>
#include <security/pam_appl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {
namespace {

// Answers PAM's prompts: the password for every prompt without echo (and
// for one with echo, which some modules use for a token), nothing for the
// texts it only shows.
int converse(int count, const pam_message** messages, pam_response** responses, void* data) {
  if (count <= 0 || count > PAM_MAX_NUM_MSG)
    return PAM_CONV_ERR;
  const QByteArray& password = *static_cast<const QByteArray*>(data);
  auto* answers = static_cast<pam_response*>(std::calloc(count, sizeof(pam_response)));
  if (!answers)
    return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const int style = messages[i]->msg_style;
    if (style != PAM_PROMPT_ECHO_OFF && style != PAM_PROMPT_ECHO_ON)
      continue;
    answers[i].resp = strndup(password.constData(), password.size());
    if (!answers[i].resp) {
      for (int j = 0; j < i; ++j) {
        if (answers[j].resp) {
          explicit_bzero(answers[j].resp, std::strlen(answers[j].resp));
          std::free(answers[j].resp);
        }
      }
      std::free(answers);
      return PAM_BUF_ERR;
    }
  }
  *responses = answers;
  return PAM_SUCCESS;
}

bool authenticate(pam_handle_t* handle) {
  if (pam_authenticate(handle, 0) != PAM_SUCCESS)
    return false;
  const int account = pam_acct_mgmt(handle, 0);
  return account == PAM_SUCCESS || account == PAM_NEW_AUTHTOK_REQD;
}

}  // namespace

void wipe(QByteArray& bytes) {
  if (!bytes.isEmpty())
    explicit_bzero(bytes.data(), bytes.size());
  bytes.clear();
}

bool checkPassword(const QByteArray& user, QByteArray& password, const QByteArray& display,
                   const char* service) {
  // A password holding a zero byte could not reach PAM whole.
  if (user.isEmpty() || password.contains('\0')) {
    wipe(password);
    return false;
  }
  const pam_conv conversation{converse, &password};
  pam_handle_t* handle = nullptr;
  int status = pam_start(service, user.constData(), &conversation, &handle);
  bool passed = false;
  if (status == PAM_SUCCESS) {
    if (!display.isEmpty())
      pam_set_item(handle, PAM_TTY, display.constData());
    passed = authenticate(handle);
    status = passed ? PAM_SUCCESS : PAM_AUTH_ERR;
  }
  if (handle)
    pam_end(handle, status);
  wipe(password);
  return passed;
}

QByteArray currentUserName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return {};
  return QByteArray(found->pw_name);
}

}  // namespace platform
