#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QTimer>

#include "platform/file_dialog.h"
#include "platform/scripted/scripted_drive_table.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using platform::FileOpenRequest;
using platform::QtFileDialog;
using platform::scripted::ScriptedDriveTable;

TEST(FileDialog, TheFilterBecomesOneQtFileType) {
  EXPECT_EQ(platform::qtNameFilter("Enabled Reelvista files|*.AVI;*.MOV;*.QT"),
            "Enabled Reelvista files (*.AVI *.MOV *.QT)");
  // Blanks around a pattern and empty patterns do not make patterns of their own.
  EXPECT_EQ(platform::filterPatterns("Files| *.AVI ;;*.MPG;"), QStringList({"*.AVI", "*.MPG"}));
  EXPECT_EQ(platform::qtNameFilter("Files|"), "Files ()");
}

TEST(FileDialog, AStartFolderOnADriveIsThatDrivesFolder) {
  ScriptedDriveTable drives;
  drives.map('C', "/media/c");
  drives.map('D', "/media/cdrom0");
  drives.setReady('D', false);
  EXPECT_EQ(platform::hostStartFolder(drives, "C:\\"), "/media/c");
  EXPECT_EQ(platform::hostStartFolder(drives, "c:"), "/media/c");
  EXPECT_EQ(platform::hostStartFolder(drives, "C:\\clips\\sea"), "/media/c/clips/sea");
  EXPECT_EQ(platform::hostStartFolder(drives, "D:\\"), QDir::homePath()) << "not ready";
  EXPECT_EQ(platform::hostStartFolder(drives, "E:\\"), QDir::homePath()) << "no such drive";
  EXPECT_EQ(platform::hostStartFolder(drives, "/srv/clips"), "/srv/clips");
}

namespace {

// The names the dialog lists in its folder, once it has read the folder.
QStringList listedNames(QFileDialog& dialog) {
  QAbstractItemView* view = dialog.findChild<QAbstractItemView*>("listView");
  const QDeadlineTimer deadline(5000);
  QStringList names;
  while (!deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    names.clear();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
      names << view->model()->index(row, 0, root).data().toString();
    if (names.size() >= 4)
      break;
  }
  names.sort(Qt::CaseInsensitive);
  return names;
}

}  // namespace

TEST(FileDialog, OpensInTheStartFolderAndMatchesPatternsInAnyCase) {
  TempFolder folder;
  for (const char* name : {"lower.avi", "UPPER.AVI", "Mixed.Mpg", "notes.txt"})
    folder.write(name, "x");
  folder.write("sub/inner.avi", "x");
  ScriptedDriveTable drives;
  drives.map('C', folder.path());
  QtFileDialog service(drives);
  const FileOpenRequest request{"Browse", "Enabled Reelvista files|*.AVI;*.MPG", "C:\\"};

  QFileDialog dialog;
  service.configure(dialog, request);
  EXPECT_EQ(dialog.windowTitle(), "Browse");
  EXPECT_EQ(dialog.directory().path(), folder.path());
  EXPECT_EQ(dialog.nameFilters(), QStringList({"Enabled Reelvista files (*.AVI *.MPG)"}));
  EXPECT_EQ(listedNames(dialog), QStringList({"lower.avi", "Mixed.Mpg", "sub", "UPPER.AVI"}));
}

TEST(FileDialog, ReturnsTheChosenPathOrNothingWhenCancelled) {
  TempFolder folder;
  const QString clip = folder.write("clip.avi", "x");
  ScriptedDriveTable drives;
  drives.map('C', folder.path());
  QtFileDialog service(drives);
  const FileOpenRequest request{"Browse", "Enabled Reelvista files|*.AVI", "C:\\"};

  auto answerWith = [](const std::function<void(QFileDialog&)>& answer) {
    QTimer::singleShot(0, [answer] {
      auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(open, nullptr);
      answer(*open);
    });
  };
  answerWith([](QFileDialog& open) { open.reject(); });
  EXPECT_EQ(service.openFile(request, nullptr), QString());

  answerWith([&](QFileDialog& open) {
    open.selectFile(clip);
    QMetaObject::invokeMethod(&open, "accept");
  });
  EXPECT_EQ(service.openFile(request, nullptr), clip);
}
