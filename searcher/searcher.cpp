#include "searcher/searcher.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

#include "platform/controls/drive_list.h"
#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/controls/placing.h"
#include "platform/errors.h"
#include "search/search_panel.h"
#include "search/walk_folders.h"
#include "searcher/search_client.h"
#include "startup/program.h"

using platform::paintBackground;
using platform::PlatformError;

namespace {

const QString kAddCaption = QStringLiteral("&Add");
const QString kListFullMessage = QStringLiteral("You've filled the list box. Abandoning search...");
// A list box counts its entries in 16 bits.
constexpr int kResultsCapacity = 32767;

}  // namespace

Searcher::Searcher(Program& program, SearchClient& opener, QWidget* settingsDialog)
    : QDialog(settingsDialog), program_(program), opener_(opener) {
  setWindowTitle(QStringLiteral("Search Reelvista file"));
  setAttribute(Qt::WA_DeleteOnClose);
  makeControls();
  makeWalk(kResultsCapacity);
  Form_Load();
  connectHandlers();
}

// Destroyed from the event step of its own search (its opener going away):
// the walk sees the cleared flag and unwinds without touching the controls.
Searcher::~Searcher() {
  walk_->SearchActive = false;
  // The controls go after this window's own part: none may call back into it.
  for (QObject* control :
       std::initializer_list<QObject*>{dirList, drvList, txtSearchSpec, cmdSearch, cmdExit})
    control->disconnect(this);
}

void Searcher::setResultsCapacity(int entries) {
  if (!walk_->isRunning())
    makeWalk(entries);
}

void Searcher::makeWalk(int resultsCapacity) {
  walk_ = std::make_shared<FolderWalk>(
      program_, WalkControls{*dirList, *filList, *lstFoundFiles, *lblCount},
      WalkRules{.appendToPlayList = false,
                .listFullMessage = kListFullMessage,
                .onFailure = WalkRules::OnFailure::AbandonWithMessage,
                .foundCapacity = resultsCapacity});
}

void Searcher::connectHandlers() {
  connect(dirList, &platform::FolderList::changed, this, [this] { DirList_Change(); });
  connect(dirList, &platform::FolderList::lostFocus, this, [this] { DirList_LostFocus(); });
  connect(drvList, &platform::DriveList::changed, this, [this] { DrvList_Change(); });
  connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
  connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
}

// Stands against the settings dialog's right edge, bottoms level; reads the
// pattern list once; starts the lists in the process's current folder.
void Searcher::Form_Load() {
  const QRect opener = opener_.openerGeometry();
  winId();  // the window's frame is known once it exists
  move(opener.left() + opener.width(), opener.top() + opener.height() - frameGeometry().height());

  const QColor background = palette().color(QPalette::Window);
  Picture2->move(0, 0);
  Picture2->resize(width(), Picture2->height());
  paintBackground(*Picture2, background, true);
  // The labels lie on panels of the same colour: they need not paint it, and
  // so do not cover the label beside them.
  for (QLabel* label : {lblCount, lblCriteria, lblfound})
    paintBackground(*label, background, false);
  Picture1->move(0, 0);
  Picture1->resize(width(), Picture1->height());
  paintBackground(*Picture1, background, true);

  connect(txtSearchSpec, &QLineEdit::textChanged, this, [this] { txtSearchSpec_Change(); });
  txtSearchSpec->setText(program_.state.FileSpec);

  showFolderOfProcess();
  cmdSearch->setFocus();
}

void Searcher::showFolderOfProcess() {
  try {
    dirList->setPath(program_.platform.process->currentFolder());
    filList->setPath(dirList->path());
  } catch (const PlatformError&) {
    // The current folder cannot be shown: the lists stay as they are.
  }
  drvList->setDriveOfPath(dirList->path());
}

void Searcher::cmdSearch_Click() {
  if (walk_->isRunning())
    return;  // one search at a time: a press during the search does nothing
  if (cmdSearch->text() == kAddCaption) {
    addResults();
    return;
  }
  const QString highlighted = dirList->entry(dirList->highlightedIndex());
  if (!highlighted.isEmpty() && highlighted != dirList->path()) {
    openHighlightedFolder();
    return;
  }
  search();
}

// Enter in the folder list opens the highlighted folder; the next one searches it.
void Searcher::openHighlightedFolder() {
  try {
    dirList->setPath(dirList->entry(dirList->highlightedIndex()));
  } catch (const PlatformError& failure) {
    program_.platform.messages->show(failure.description(), platform::style::kExclamation,
                                     platform::kProgramTitle, this);
  }
}

void Searcher::search() {
  Picture2->move(0, 0);
  Picture1->hide();
  Picture2->show();
  cmdExit->setText(kCancelCaption);

  filList->setPattern(txtSearchSpec->text());
  const QPointer<Searcher> window(this);
  const std::shared_ptr<FolderWalk> walk = walk_;
  // Abandoned, finished or failed (the walk has said why), the dialog goes on alike.
  walk->WalkFolders(dirList->path(), QString());
  if (!window)
    return;

  try {
    filList->setPath(dirList->path());
  } catch (const PlatformError&) {
    // The folder the walk stopped in has gone: the file list stays as it was.
  }
  cmdSearch->setText(kAddCaption);
  cmdSearch->setFocus();
  cmdExit->setText(kExitCaption);
  if (closeAfterSearch_)
    cmdExit_Click();
}

// Every result, in order, duplicates included; the play list takes what it
// can hold, and the user hears how many were left out.
void Searcher::addResults() {
  QStringList results;
  for (int i = 0; i < lstFoundFiles->count(); ++i)
    results << lstFoundFiles->item(i)->text();
  const int leftOut = opener_.appendToPlayList(results);
  if (leftOut > 0) {
    program_.platform.messages->show(
        QStringLiteral("The play list is full: the screen saver can play no more than %1 files. "
                       "%2 of the %3 files found were not added.")
            .arg(kMaxPlayCount)
            .arg(leftOut)
            .arg(results.size()),
        platform::style::kExclamation, platform::kProgramTitle, this);
  }
  ResetAndClose();
}

void Searcher::ResetAndClose() {
  clearSearch(*this, *Picture2, *cmdSearch, *cmdExit);
  walk_->SearchActive = false;
  Picture1->show();
  showFolderOfProcess();
  cmdExit_Click();
}

void Searcher::cmdExit_Click() {
  if (cmdExit->text() == kExitCaption) {
    opener_.searchEnded();
    close();
    return;
  }
  walk_->SearchActive = false;
}

void Searcher::DrvList_Change() {
  if (walk_->isRunning())
    return;  // the walk moves the folder list itself
  try {
    dirList->setPath(drvList->drive());
  } catch (const PlatformError&) {
    // No medium, or the drive went: back to the drive of the folder shown,
    // which raises this once more for that drive.
    drvList->setDriveOfPath(dirList->path());
  }
}

void Searcher::DirList_Change() {
  followFolderList(*filList, *dirList);
}

// A mouse click on "&Search" after highlighting a folder searches that folder.
void Searcher::DirList_LostFocus() {
  if (walk_->isRunning())
    return;
  const QString highlighted = dirList->entry(dirList->highlightedIndex());
  if (highlighted.isEmpty() || highlighted == dirList->path())
    return;
  try {
    dirList->setPath(highlighted);
  } catch (const PlatformError&) {
    // Said when the search button tries to open it; the list stays.
  }
}

void Searcher::txtSearchSpec_Change() {
  filList->setPattern(txtSearchSpec->text());
}

// Without a window manager nothing activates a new window: the keys would
// stay with the settings dialog.
void Searcher::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  activateWindow();
}

// There is no cancel button: Escape does nothing.
void Searcher::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// The close box, or the settings dialog going away. A running search works on
// this window's lists: it is stopped first, and the window closes once the
// walk has unwound.
void Searcher::closeEvent(QCloseEvent* event) {
  if (walk_->isRunning()) {
    walk_->SearchActive = false;
    closeAfterSearch_ = true;
    event->ignore();
    return;
  }
  opener_.searchEnded();
  event->accept();
}
