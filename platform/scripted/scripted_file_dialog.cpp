#include "platform/scripted/scripted_file_dialog.h"

namespace platform::scripted {

QString ScriptedFileDialog::openFile(const FileOpenRequest& request, QWidget* /*owner*/) {
  shown.push_back(request);
  if (onShow)
    onShow(shown.back());
  return answer;
}

}  // namespace platform::scripted
