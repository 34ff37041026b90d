#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace platform {

class DriveTable;

struct FileOpenRequest {
  QString title;
  // One file type: a description, "|", then patterns separated by ";"
  // ("Enabled Reelvista files|*.AVI;*.MPG").
  QString filter;
  // The folder the dialog opens in; a drive letter and a colon at its start
  // stand for that drive's folder ("C:\").
  QString startFolder;
};

// The modal file-open dialog.
class FileDialog {
 public:
  virtual ~FileDialog() = default;
  // Returns the chosen file's full path, or an empty text when the user
  // cancelled.
  virtual QString openFile(const FileOpenRequest& request, QWidget* owner) = 0;
};

// The patterns of a filter, split at ";", blanks around each dropped.
QStringList filterPatterns(const QString& filter);
// The filter in Qt's form, "description (p1 p2)".
QString qtNameFilter(const QString& filter);

// The host folder for a start folder: a drive letter and a colon at its start
// stand for that drive's folder, backslashes for separators. A drive that is
// missing or not ready gives the home folder.
QString hostStartFolder(const DriveTable& drives, const QString& folder);

class QtFileDialog final : public FileDialog {
 public:
  explicit QtFileDialog(const DriveTable& drives);

  QString openFile(const FileOpenRequest& request, QWidget* owner) override;
  // Sets up a dialog as openFile shows it.
  void configure(QFileDialog& dialog, const FileOpenRequest& request) const;

 private:
  const DriveTable& drives_;
};

}  // namespace platform
