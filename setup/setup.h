#pragma once

#include <QDialog>
#include <QPointer>

#include "platform/file_dialog.h"
#include "searcher/search_client.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Searcher;
struct Program;

namespace platform {
class DriveList;
}

// The settings dialog: edits the pattern list, the drive scan and the play
// list, and writes the settings file on OK. Edits of the pattern list and the
// scan settings go straight into the shared state; the play list being edited
// lives in List1 until OK saves it.
class Setup : public QDialog, public SearchClient {
  Q_OBJECT

 public:
  explicit Setup(Program& program);
  ~Setup() override;

  // What the search dialog needs of this one.
  int appendToPlayList(const QStringList& paths) override;
  void searchEnded() override;
  QRect openerGeometry() const override;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void makeControls();  // setup_layout.cpp
  void setTabOrder();
  void connectHandlers();

  void Form_Load();
  void Form_Activate();
  void Check1_Click();
  void Drive1_Change();
  void Text1_Change();
  void Text2_Change();
  void List1_Click();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();
  void Command7_Click();

  void showPatterns(const QString& patterns);
  void showScanning(bool on);
  QString shownDrive() const;
  bool refusesEntry(const QString& path);
  bool playListFull();
  QStringList playListEntries() const;

  Program& program_;

  // The controls keep their names, as members and as object names.
  QGroupBox* Frame1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* Command1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QCheckBox* Check1 = nullptr;
  QLabel* Label2 = nullptr;
  platform::DriveList* Drive1 = nullptr;
  QGroupBox* Frame3 = nullptr;
  QLineEdit* Text2 = nullptr;
  QListWidget* List1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command4 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command6 = nullptr;
  QPushButton* Command7 = nullptr;
  // The file-open dialog's settings; it is shown by Command4.
  platform::FileOpenRequest CommonDialog1;

  QPointer<Searcher> searcher_;
  bool activatedBefore_ = false;
  bool searcherWasActive_ = false;
};
