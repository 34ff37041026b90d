#pragma once

#include <functional>
#include <vector>

#include "platform/file_dialog.h"

namespace platform::scripted {

// The file dialog, answered by the test: every request is recorded, and the
// "user" picks `answer` (empty: cancels).
class ScriptedFileDialog final : public FileDialog {
 public:
  QString answer;
  std::vector<FileOpenRequest> shown;
  std::function<void(const FileOpenRequest&)> onShow;  // runs while the dialog "is open"

  QString openFile(const FileOpenRequest& request, QWidget* owner) override;
};

}  // namespace platform::scripted
