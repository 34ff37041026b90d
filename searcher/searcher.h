#pragma once

#include <QDialog>
#include <memory>

#include "search/search_panel.h"

class FolderWalk;
class QLabel;
class QPushButton;
class SearchClient;
struct Program;

// The search dialog: walks a folder tree and adds what it finds to the play
// list the settings dialog is editing. It holds its state in the captions of
// its two buttons ("&Search" or "&Add", "E&xit" or "Cancel") and goes away
// when it closes.
class Searcher : public QDialog, private SearchPanel, private ResultsPanel {
  Q_OBJECT

 public:
  // The opener is the settings dialog, seen through what the search needs of it.
  Searcher(Program& program, SearchClient& opener, QWidget* settingsDialog);
  ~Searcher() override;

  // How many names the results list takes before it counts as full.
  void setResultsCapacity(int entries);

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void makeControls();  // searcher_layout.cpp
  void makeWalk(int resultsCapacity);
  void connectHandlers();

  void Form_Load();
  void cmdSearch_Click();
  void cmdExit_Click();
  void ResetAndClose();
  void DrvList_Change();
  void DirList_Change();
  void DirList_LostFocus();
  void txtSearchSpec_Change();

  void openHighlightedFolder();
  void search();
  void addResults();
  void showFolderOfProcess();

  Program& program_;
  SearchClient& opener_;

  // The controls keep their names, as members and as object names; those of
  // the two panels come with SearchPanel and ResultsPanel.
  QWidget* Picture1 = nullptr;
  QWidget* Picture2 = nullptr;
  QPushButton* cmdSearch = nullptr;
  QPushButton* cmdExit = nullptr;

  // Shared with a running search, which may outlive the window: the window
  // can be destroyed from the walk's event step.
  std::shared_ptr<FolderWalk> walk_;
  bool closeAfterSearch_ = false;
};
