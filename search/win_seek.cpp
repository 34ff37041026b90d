#include "search/win_seek.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/controls/drive_list.h"
#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/controls/placing.h"
#include "platform/errors.h"
#include "search/search_panel.h"
#include "startup/program.h"

using platform::ErrorNumber;
using platform::paintBackground;
using platform::placeControl;
using platform::PlatformError;
using platform::twipsRect;

namespace {

const QString kResetCaption = QStringLiteral("&Reset");
const QString kVideoCdTracks = QStringLiteral("*.DAT");

}  // namespace

WinSeek::WinSeek(Program& program) : program_(program) {
  Form_Load();
}

WinSeek::~WinSeek() = default;

void WinSeek::makeControls() {
  const platform::DriveTable& drives = *program_.platform.drives;
  setWindowFlag(Qt::FramelessWindowHint);
  setFixedSize(twipsRect(0, 0, 4215, 1350).size());

  Image1 = placeControl(new QLabel(this), "Image1", 0, 0, 4215, 1335);
  Image1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Label1 = placeControl(new QLabel(QStringLiteral("Reelvista screensaver:  Please Wait..."), this),
                        "Label1", 135, 240, 3990, 915);
  QFont message(QStringLiteral("Arial"));
  message.setPointSizeF(8.25);
  Label1->setFont(message);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  Picture2 = placeControl(new QWidget(this), "Picture2", 840, 3600, 3855, 2895);
  Picture2->hide();
  static_cast<ResultsPanel&>(*this) = makeResultsPanel(Picture2);

  Picture1 = placeControl(new QWidget(this), "Picture1", 240, 3720, 3735, 2895);
  // The panels' controls become this window's members of the same names.
  static_cast<SearchPanel&>(*this) = makeSearchPanel(Picture1, drives);

  cmdSearch =
      placeControl(new QPushButton(kSearchCaption, this), "cmdSearch", 240, 3840, 1200, 720);
  cmdExit = placeControl(new QPushButton(kExitCaption, this), "cmdExit", 2040, 3840, 1200, 720);
  cmdSearch->setDefault(true);
  setTabOrder(cmdSearch, cmdExit);
  setTabOrder(cmdExit, txtSearchSpec);
  setTabOrder(txtSearchSpec, filList);
  setTabOrder(filList, drvList);
  setTabOrder(drvList, dirList);
  setTabOrder(dirList, lstFoundFiles);

  walk_ = std::make_unique<FolderWalk>(program_,
                                       WalkControls{*dirList, *filList, *lstFoundFiles, *lblCount},
                                       WalkRules{.appendToPlayList = true,
                                                 .listFullMessage = {},
                                                 .onFailure = WalkRules::OnFailure::EndProgram});
}

// Fits the hidden panels to the window and starts the lists in the
// process's current folder.
void WinSeek::Form_Load() {
  makeControls();
  Picture2->resize(width(), Picture2->height());
  Picture1->resize(width(), Picture1->height());
  const QColor background = palette().color(QPalette::Window);
  for (QWidget* control : {Picture2, Picture1, static_cast<QWidget*>(lblCount),
                           static_cast<QWidget*>(lblCriteria), static_cast<QWidget*>(lblfound)})
    paintBackground(*control, background);

  try {
    dirList->setPath(program_.platform.process->currentFolder());
    filList->setPath(dirList->path());
  } catch (const PlatformError&) {
    // No current folder to show: the lists start empty.
  }
  drvList->setDriveOfPath(dirList->path());

  connect(dirList, &platform::FolderList::changed, this, &WinSeek::DirList_Change);
  connect(dirList, &platform::FolderList::lostFocus, this, &WinSeek::DirList_LostFocus);
  connect(drvList, &platform::DriveList::changed, this, &WinSeek::DrvList_Change);
  connect(txtSearchSpec, &QLineEdit::textChanged, this, &WinSeek::txtSearchSpec_Change);
  txtSearchSpec->installEventFilter(this);
  connect(cmdSearch, &QPushButton::clicked, this, &WinSeek::cmdSearch_Click);
  connect(cmdExit, &QPushButton::clicked, this, &WinSeek::cmdExit_Click);
  cmdSearch->setFocus();
}

bool WinSeek::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    Form_Activate();
  return QWidget::event(event);
}

// Without a window manager nothing activates a new window; the scan starts
// on activation, so ask for it.
void WinSeek::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  activateWindow();
}

// The scan, then playback. A drive without a medium and a disc without the
// Video CD folder go on to playback; any other failure leaves the message up.
void WinSeek::Form_Activate() {
  if (scanning_)
    return;  // activated again from inside the scan: one scan at a time
  scanning_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{scanning_};
  // The keys of the hidden controls work during the scan: the focus they
  // need lands only after activation, which the scan would hold up.
  if (QWidget* focus = focusWidget())
    focus->setFocus(Qt::ActiveWindowFocusReason);
  try {
    scanDrive();
  } catch (const PlatformError& failure) {
    if (failure.number() != ErrorNumber::DeviceUnavailable &&
        failure.number() != ErrorNumber::PathNotFound)
      return;
  }
  openPlayback();
}

void WinSeek::scanDrive() {
  SharedState& state = program_.state;
  // In the middle of the primary monitor, wherever that sits.
  const QRect screen = program_.platform.desktop->primaryMonitor();
  const QSize outer = frameGeometry().size();
  move(screen.topLeft() +
       QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2));
  Label1->setText(QStringLiteral("Reelvista screensaver is scanning for") + "\r\n" +
                  "Media files on " + state.ScanDrive.toUpper() + "\r\n\r\n" +
                  "Please Stand By...");
  program_.platform.desktop->letEventsRun();

  filList->setPattern(state.FileSpec);
  dirList->setPath(state.ScanDrive + "\\");
  // Only the drive pass is remembered: the start-up scan's long wait.
  walk_->setScanMemory(memoryOfThisUser);
  walkFromDirList();
  walk_->setScanMemory({});
  filList->setPath(dirList->path());

  filList->setPattern(kVideoCdTracks);
  dirList->setPath(state.ScanDrive + "\\MPEGAV\\");
  filList->setPath(dirList->path());
  walkFromDirList();
  filList->setPath(dirList->path());
}

void WinSeek::openPlayback() {
  try {
    program_.windows.canvas().show();
  } catch (const PlatformError&) {
    // The playback window could not be made: the message stays up.
  }
}

void WinSeek::walkFromDirList() {
  walk_->WalkFolders(dirList->path(), QString());
}

void WinSeek::ResetSearchControls() {
  clearSearch(*this, *Picture2, *cmdSearch, *cmdExit);
  walk_->SearchActive = false;
  try {
    dirList->setPath(program_.platform.process->currentFolder());
  } catch (const PlatformError&) {
    // The folder is gone: the list stays where it is.
  }
  drvList->setDriveOfPath(dirList->path());
}

void WinSeek::cmdSearch_Click() {
  if (walk_->isRunning())
    return;  // one walk at a time: Enter during the scan does nothing
  if (cmdSearch->text() == kResetCaption) {
    ResetSearchControls();
    txtSearchSpec->setFocus();
    return;
  }
  const QString highlighted = dirList->entry(dirList->highlightedIndex());
  if (dirList->path() != highlighted) {
    try {
      dirList->setPath(highlighted);
    } catch (const PlatformError&) {
      // The highlighted folder cannot be opened: nothing changes.
    }
    return;
  }
  searchScanDrive();
}

// The search the keyboard can start: the scan drive again, from the folder
// the drive stands for, appending to the play list too.
void WinSeek::searchScanDrive() {
  Picture2->move(0, 0);
  Picture2->show();
  Picture1->hide();
  cmdExit->setText(kCancelCaption);
  filList->setPattern(program_.state.FileSpec);
  try {
    dirList->setPath(program_.state.ScanDrive);
    walkFromDirList();
    filList->setPath(dirList->path());
  } catch (const PlatformError&) {
    // No medium in the drive: nothing was found.
  }
  cmdSearch->setText(kResetCaption);
  cmdSearch->setFocus();
  cmdExit->setText(kExitCaption);
}

void WinSeek::cmdExit_Click() {
  if (cmdExit->text() == kExitCaption)
    program_.platform.process->endAtOnce(0);
  walk_->SearchActive = false;
}

void WinSeek::DirList_Change() {
  followFolderList(*filList, *dirList);
}

// While a walk runs the folder and drive lists belong to it.
void WinSeek::DirList_LostFocus() {
  if (walk_->isRunning())
    return;
  try {
    dirList->setPath(dirList->entry(dirList->highlightedIndex()));
  } catch (const PlatformError&) {
    // The highlighted folder cannot be opened: the list stays.
  }
}

void WinSeek::DrvList_Change() {
  if (walk_->isRunning())
    return;
  try {
    dirList->setPath(drvList->drive());
  } catch (const PlatformError&) {
    drvList->setDriveOfPath(dirList->path());
  }
}

void WinSeek::txtSearchSpec_Change() {
  filList->setPattern(txtSearchSpec->text());
}

void WinSeek::txtSearchSpec_GotFocus() {
  txtSearchSpec->selectAll();
}

bool WinSeek::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtSearchSpec && event->type() == QEvent::FocusIn)
    txtSearchSpec_GotFocus();
  return QWidget::eventFilter(watched, event);
}

// Enter presses the focused button, or else the default button.
void WinSeek::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
    QWidget::keyPressEvent(event);
    return;
  }
  auto* button = qobject_cast<QPushButton*>(focusWidget());
  (button ? button : cmdSearch)->click();
}

// Closing the scan window ends the program at once.
void WinSeek::closeEvent(QCloseEvent* event) {
  event->accept();
  program_.platform.process->endAtOnce(0);
}
