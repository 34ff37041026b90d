#pragma once

#include <QWidget>
#include <memory>

#include "search/walk_folders.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
struct Program;

namespace platform {
class DriveList;
class FileList;
class FolderList;
}  // namespace platform

// The start-up scan window: tells the user that the scan drive is being
// searched, collects its media files into the play list, then opens
// playback. The controls of a search lie outside its visible area, where only
// the keyboard reaches them.
class WinSeek : public QWidget {
  Q_OBJECT

 public:
  explicit WinSeek(Program& program);
  ~WinSeek() override;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void makeControls();
  void Form_Load();
  void Form_Activate();
  void scanDrive();
  void openPlayback();
  void ResetSearchControls();
  void cmdSearch_Click();
  void searchScanDrive();
  void cmdExit_Click();
  void DirList_Change();
  void DirList_LostFocus();
  void DrvList_Change();
  void txtSearchSpec_Change();
  void txtSearchSpec_GotFocus();
  // Walks the folder dirList shows; the abandon flag is not looked at.
  void walkFromDirList();

  Program& program_;
  bool scanning_ = false;

  QLabel* Label1 = nullptr;
  QLabel* Image1 = nullptr;
  QWidget* Picture2 = nullptr;
  QListWidget* lstFoundFiles = nullptr;
  QLabel* lblCount = nullptr;
  QLabel* lblfound = nullptr;
  QWidget* Picture1 = nullptr;
  platform::DriveList* drvList = nullptr;
  platform::FolderList* dirList = nullptr;
  platform::FileList* filList = nullptr;
  QLineEdit* txtSearchSpec = nullptr;
  QLabel* lblCriteria = nullptr;
  QPushButton* cmdSearch = nullptr;
  QPushButton* cmdExit = nullptr;

  std::unique_ptr<FolderWalk> walk_;
};
