#include "platform/file_dialog.h"

#include <QDir>
#include <QFileDialog>

#include "platform/errors.h"
#include "platform/files/drive_table.h"

namespace platform {

QStringList filterPatterns(const QString& filter) {
  const qsizetype bar = filter.indexOf('|');
  const QString patterns = bar < 0 ? filter : filter.mid(bar + 1);
  QStringList result;
  for (const QString& pattern : patterns.split(';')) {
    const QString trimmed = pattern.trimmed();
    if (!trimmed.isEmpty())
      result << trimmed;
  }
  return result;
}

QString qtNameFilter(const QString& filter) {
  const QString description = filter.section('|', 0, 0);
  return description + " (" + filterPatterns(filter).join(' ') + ")";
}

QString hostStartFolder(const DriveTable& drives, const QString& folder) {
  QString path = folder;
  path.replace('\\', '/');
  if (path.size() < 2 || path[1] != ':' || !path[0].isLetter())
    return path;
  try {
    QString rest = path.mid(2);
    while (rest.startsWith('/'))
      rest.remove(0, 1);
    const QString root = drives.folderOf(path[0]);
    return rest.isEmpty() ? root : QDir(root).filePath(rest);
  } catch (const PlatformError&) {
    return QDir::homePath();
  }
}

QtFileDialog::QtFileDialog(const DriveTable& drives) : drives_(drives) {}

void QtFileDialog::configure(QFileDialog& dialog, const FileOpenRequest& request) const {
  // Qt's own dialog, not the desktop's: its pattern filter ignores case,
  // as media files from other systems come in any case.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setWindowTitle(request.title);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot);
  dialog.setNameFilter(qtNameFilter(request.filter));
  dialog.setDirectory(hostStartFolder(drives_, request.startFolder));
}

QString QtFileDialog::openFile(const FileOpenRequest& request, QWidget* owner) {
  QFileDialog dialog(owner);
  configure(dialog, request);
  // The settings dialog stays on top of other windows; so must its dialog.
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().first();
}

}  // namespace platform
