#include "setup/setup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/controls/drive_list.h"
#include "platform/errors.h"
#include "platform/files/path_kind.h"
#include "searcher/searcher.h"
#include "setup/about_box.h"
#include "startup/program.h"
#include "startup/settings_file.h"

using platform::PlatformError;

namespace {

const QString kFilterDescription = QStringLiteral("Enabled Reelvista files|");

}  // namespace

Setup::Setup(Program& program) : program_(program) {
  setWindowTitle(QStringLiteral("Settings"));
  makeControls();
  connectHandlers();
  Form_Load();
}

Setup::~Setup() {
  // The search dialog is our child; let it go while we are still whole.
  delete searcher_.data();
}

void Setup::connectHandlers() {
  connect(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
  connect(Drive1, &platform::DriveList::changed, this, [this] { Drive1_Change(); });
  connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
  connect(Text2, &QLineEdit::textChanged, this, [this] { Text2_Change(); });
  connect(List1, &QListWidget::itemSelectionChanged, this, [this] { List1_Click(); });
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
  connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
  connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
  connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
  connect(Command7, &QPushButton::clicked, this, [this] { Command7_Click(); });
}

// The activation handler runs when the dialog is first shown and when it
// becomes active again coming from the search dialog; message boxes and the
// file dialog do not count.
bool Setup::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && (!activatedBefore_ || searcherWasActive_)) {
    activatedBefore_ = true;
    searcherWasActive_ = false;
    Form_Activate();
  }
  return QDialog::event(event);
}

// Without a window manager nothing activates a new window: the access keys
// would do nothing until the dialog was clicked.
void Setup::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  activateWindow();
}

// Only the search dialog is watched, so what is watched is not compared with
// it: its destructor still sends events through here, when it is no longer a
// Searcher and reading searcher_ would cast it to one.
bool Setup::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    searcherWasActive_ = true;
  return QDialog::eventFilter(watched, event);
}

// There is no Cancel: Escape does nothing here.
void Setup::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// The close box leaves without saving. The search dialog goes with us, so
// that no window is left and the program ends.
void Setup::closeEvent(QCloseEvent* event) {
  if (searcher_)
    searcher_->close();
  QDialog::closeEvent(event);
}

void Setup::Form_Load() {
  SharedState& state = program_.state;
  // Every step stands alone: one that fails is skipped and the next runs.
  auto step = [](const auto& body) {
    try {
      body();
    } catch (const PlatformError&) {
    }
  };
  step([&] { showPatterns(state.FileSpec); });
  step([&] { showScanning(!state.NoDriveScan); });
  step([&] { CommonDialog1.filter = kFilterDescription + state.FileSpec; });
  step([&] {
    // On the primary monitor, wherever that sits on the desktop.
    const QRect screen = program_.platform.desktop->primaryMonitor();
    const float top = (screen.height() - frameGeometry().height()) / 2.0f;
    move(screen.topLeft() + QPoint(qRound(screen.width() / 9.0f), qRound(top)));
  });
  // A drive that is missing or not ready cannot be chosen: the chooser keeps
  // its own choice and ScanDrive the stored drive.
  step([&] { Drive1->setDrive(state.ScanDrive.left(2)); });
  step([&] {
    for (int i = 1; i <= state.PlayCount; ++i)
      List1->addItem(state.PlayList[i]);
  });
}

void Setup::Form_Activate() {
  platform::Desktop& desktop = *program_.platform.desktop;
  while (desktop.showCursor(true) < 0) {
  }
  desktop.makeTopmost(*this);
  desktop.bringToTop(*this);
}

// The switch flips the shared flag and then makes the box agree with it.
void Setup::Check1_Click() {
  if (!isVisible())
    return;
  SharedState& state = program_.state;
  state.NoDriveScan = !state.NoDriveScan;
  // Scanning turned on with no drive stored (the last start had it off):
  // the drive the chooser shows is the one that will be scanned.
  if (!state.NoDriveScan && state.ScanDrive.isEmpty())
    state.ScanDrive = shownDrive();
  showScanning(!state.NoDriveScan);
}

// The box, the chooser's state and its colour for one scanning state. The
// box is forced without raising its click again.
void Setup::showScanning(bool on) {
  {
    const QSignalBlocker quiet(Check1);
    Check1->setChecked(on);
  }
  Drive1->setEnabled(on);
  const QColor background =
      on ? Text1->palette().color(QPalette::Base) : palette().color(QPalette::Window);
  Drive1->setBackgroundColour(background);
}

void Setup::Drive1_Change() {
  program_.state.ScanDrive = shownDrive();
}

QString Setup::shownDrive() const {
  return Drive1->drive().left(2);
}

void Setup::Text1_Change() {
  program_.state.FileSpec = Text1->text();
}

void Setup::Command1_Click() {
  program_.state.FileSpec = kDefaultFileSpec;
  showPatterns(program_.state.FileSpec);
}

// The text set, shown from its start.
void Setup::showPatterns(const QString& patterns) {
  Text1->setText(patterns);
  Text1->setCursorPosition(0);
}

// Looks at what the name is, never into the file: a FIFO or a device must not
// hold the dialog up at every keystroke.
void Setup::Text2_Change() {
  switch (platform::pathKind(Text2->text())) {
    case platform::PathKind::ReadableFile:
      Command2->setEnabled(true);
      break;
    case platform::PathKind::MissingFile:
      Command2->setEnabled(false);
      break;
    case platform::PathKind::SomethingElse:
      break;
  }
}

void Setup::List1_Click() {
  if (!List1->selectedItems().isEmpty())
    Command3->setEnabled(true);
}

void Setup::Command2_Click() {
  const QString path = Text2->text();
  if (playListFull() || refusesEntry(path))
    return;
  List1->addItem(path);
}

void Setup::Command3_Click() {
  const QList<QListWidgetItem*> selected = List1->selectedItems();
  if (!selected.isEmpty())
    delete List1->takeItem(List1->row(selected.first()));
  List1->clearSelection();
  List1->setCurrentItem(nullptr);
  Command3->setEnabled(false);
}

void Setup::Command4_Click() {
  if (playListFull())
    return;
  CommonDialog1.filter = kFilterDescription + program_.state.FileSpec;
  const QString chosen = program_.platform.fileDialog->openFile(CommonDialog1, this);
  if (chosen.isEmpty() || refusesEntry(chosen))
    return;
  List1->addItem(chosen);
}

void Setup::Command5_Click() {
  Command5->setEnabled(false);
  searcher_ = new Searcher(program_, *this, this);
  searcher_->setAttribute(Qt::WA_DeleteOnClose);
  searcher_->installEventFilter(this);
  // However the search dialog goes away, searching can start again.
  connect(searcher_, &QObject::destroyed, this, [this] { searchEnded(); });
  searcher_->show();
}

void Setup::Command6_Click() {
  const SharedState& state = program_.state;
  const SettingsFileContents contents{
      .scanDrive = state.NoDriveScan ? QString() : state.ScanDrive,
      .patterns = Text1->text(),
      .entries = playListEntries(),
  };
  try {
    writeSettingsFile(settingsFilePath(program_.platform.process->settingsFolder()), contents);
  } catch (const PlatformError& failure) {
    // Nothing is lost: the old file stays as it was and so does the dialog.
    program_.platform.messages->show(
        failure.description() +
            "\n\nThe settings were not saved; the old settings file is unchanged.",
        platform::style::kCritical, platform::kProgramTitle, this);
    return;
  }
  program_.platform.process->endAtOnce(0);
}

void Setup::Command7_Click() {
  program_.platform.messages->show(aboutText(), platform::style::kSystemModal, kAboutTitle, this);
}

// The play list holds what the program can load again: 1000 entries.
bool Setup::playListFull() {
  if (List1->count() < kMaxPlayCount)
    return false;
  program_.platform.messages->show(
      QStringLiteral("The play list is full: the screen saver can play no more than %1 files. "
                     "Remove an entry to make room. Nothing was added.")
          .arg(kMaxPlayCount),
      platform::style::kExclamation, platform::kProgramTitle, this);
  return true;
}

// The settings file keeps one entry a line, so a name with a line break in it
// could not be read back.
bool Setup::refusesEntry(const QString& path) {
  if (fitsOnOneLine(path))
    return false;
  program_.platform.messages->show(
      QStringLiteral("This name holds a line break, which the play list cannot store. Nothing "
                     "was added."),
      platform::style::kExclamation, platform::kProgramTitle, this);
  return true;
}

QStringList Setup::playListEntries() const {
  QStringList entries;
  for (int i = 0; i < List1->count(); ++i)
    entries << List1->item(i)->text();
  return entries;
}

int Setup::appendToPlayList(const QStringList& paths) {
  int leftOut = 0;
  for (const QString& path : paths) {
    if (List1->count() >= kMaxPlayCount || !fitsOnOneLine(path)) {
      ++leftOut;
      continue;
    }
    List1->addItem(path);
  }
  return leftOut;
}

void Setup::searchEnded() {
  Command5->setEnabled(true);
}

QRect Setup::openerGeometry() const {
  return frameGeometry();
}
