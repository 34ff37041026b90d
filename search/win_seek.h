#pragma once

#include <QWidget>
#include <memory>

#include "search/search_panel.h"
#include "search/walk_folders.h"

class QLabel;
class QPushButton;
struct Program;

// The start-up scan window: tells the user that the scan drive is being
// searched, collects its media files into the play list, then opens
// playback. The controls of a search lie outside its visible area, where only
// the keyboard reaches them.
class WinSeek : public QWidget, private SearchPanel, private ResultsPanel {
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

  // The controls keep their names, as members and as object names; those of
  // the two panels come with SearchPanel and ResultsPanel.
  QLabel* Label1 = nullptr;
  QLabel* Image1 = nullptr;
  QWidget* Picture2 = nullptr;
  QWidget* Picture1 = nullptr;
  QPushButton* cmdSearch = nullptr;
  QPushButton* cmdExit = nullptr;

  std::unique_ptr<FolderWalk> walk_;
};
