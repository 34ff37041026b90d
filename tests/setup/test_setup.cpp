#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/controls/units.h"
#include "platform/errors.h"
#include "platform/scripted/scripted_platform.h"
#include "program_windows.h"
#include "searcher/search_client.h"
#include "searcher/searcher.h"
#include "startup/program.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

using platform::ProgramEnded;
using platform::scripted::ScriptedPlatform;

namespace {

const QString kDefaults = QStringLiteral("*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM");

// The settings dialog on scripted services, opened the way start-up opens
// it: the shared state set first, then loaded and shown.
class Dialog {
 public:
  explicit Dialog(const std::function<void(SharedState&)>& stored = nullptr) {
    desktop.process.executableFolderPath = folder.path();
    program.state.setDefaults();
    if (stored)
      stored(program.state);
  }

  QWidget& open() {
    QWidget& window = program.windows.setup();
    window.show();
    QCoreApplication::processEvents();
    return window;
  }

  template <typename Control>
  Control& control(const char* name) {
    auto* found = program.windows.setup().findChild<Control*>(QString::fromLatin1(name));
    if (found == nullptr)
      throw std::runtime_error(std::string("no control ") + name);
    return *found;
  }

  // Clicks the button; true when that ended the program.
  bool click(const char* button) {
    try {
      control<QPushButton>(button).click();
    } catch (const ProgramEnded&) {
      return true;
    }
    return false;
  }

  QStringList playList() {
    QStringList entries;
    auto& list = control<QListWidget>("List1");
    for (int i = 0; i < list.count(); ++i)
      entries << list.item(i)->text();
    return entries;
  }

  QByteArray savedFile() const { return folder.read("ReelvistaSaver.INI"); }

  TempFolder folder;
  ScriptedPlatform desktop;
  Program program{desktop.platform, programWindows()};
};

void press(QWidget& target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           const QString& text = QString()) {
  QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(&target, &down);
  QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(&target, &up);
}

// Types the text key by key, as a user would.
void type(QWidget& target, const QString& text) {
  for (QChar character : text)
    press(target, character.toUpper().unicode(), Qt::NoModifier, QString(character));
}

}  // namespace

TEST(Setup, StandsWhereTheLayoutPutsEveryControl) {
  Dialog dialog;
  QWidget& window = dialog.open();
  EXPECT_EQ(window.windowTitle(), "Settings");
  EXPECT_EQ(window.size(), QSize(281, 358));  // 4215 x 5370 twips
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_FALSE(window.windowFlags() &
               (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(window.windowIcon().isNull());

  struct Place {
    const char* name;
    const char* container;
    int left, top, width, height;
  };
  const Place layout[] = {
      {"Frame1", "Setup", 120, 0, 3975, 1215},      {"Label1", "Frame1", 120, 240, 3735, 495},
      {"Text1", "Frame1", 120, 720, 2775, 285},     {"Command1", "Frame1", 3000, 720, 855, 375},
      {"Frame2", "Setup", 120, 1320, 3975, 1215},   {"Check1", "Frame2", 1560, 0, 255, 255},
      {"Label2", "Frame2", 120, 240, 3735, 735},    {"Drive1", "Frame2", 120, 720, 3735, 315},
      {"Frame3", "Setup", 120, 2640, 3975, 2175},   {"Text2", "Frame3", 120, 240, 2775, 285},
      {"List1", "Frame3", 120, 600, 2775, 1425},    {"Command2", "Frame3", 3000, 240, 855, 375},
      {"Command4", "Frame3", 3000, 720, 855, 375},  {"Command5", "Frame3", 3000, 1200, 855, 375},
      {"Command3", "Frame3", 3000, 1680, 855, 375}, {"Command6", "Setup", 1800, 4920, 1095, 375},
      {"Command7", "Setup", 3000, 4920, 1095, 375},
  };
  for (const Place& place : layout) {
    QWidget& control = dialog.control<QWidget>(place.name);
    EXPECT_EQ(control.geometry(),
              platform::twipsRect(place.left, place.top, place.width, place.height))
        << place.name;
    const QWidget* parent = control.parentWidget();
    EXPECT_EQ(parent == &window ? QString("Setup") : parent->objectName(), place.container)
        << place.name;
  }

  const std::pair<const char*, const char*> captions[] = {{"Frame1", " Reelvista files "},
                                                          {"Frame2", " Drive scanning      "},
                                                          {"Frame3", " Play list "}};
  for (const auto& [name, caption] : captions) {
    auto& frame = dialog.control<QGroupBox>(name);
    EXPECT_EQ(frame.title(), caption);
    EXPECT_TRUE(frame.font().bold()) << name;
  }
  EXPECT_FALSE(dialog.control<QLabel>("Label1").font().bold());
  EXPECT_FALSE(dialog.control<QPushButton>("Command1").font().bold());
  EXPECT_EQ(dialog.control<QLabel>("Label1").text(),
            "To let Reelvista screensaver open other types of files, add its extension(s) below:");
  EXPECT_EQ(dialog.control<QLabel>("Label2").text(),
            "Each time the screensaver starts, where should it look for files? (CDROM drive "
            "recommended)");
  EXPECT_TRUE(dialog.control<QCheckBox>("Check1").text().isEmpty());

  const std::pair<const char*, const char*> buttons[] = {
      {"Command1", "&Default"},   {"Command2", "&Add"},       {"Command3", "&Remove"},
      {"Command4", "&Browse..."}, {"Command5", "&Search..."}, {"Command6", "OK"},
      {"Command7", "Abou&t..."}};
  for (const auto& [name, caption] : buttons)
    EXPECT_EQ(dialog.control<QPushButton>(name).text(), caption);
  EXPECT_EQ(dialog.control<QPushButton>("Command7").shortcut(), QKeySequence(Qt::ALT | Qt::Key_T));
  EXPECT_TRUE(dialog.control<QPushButton>("Command6").isDefault());
}

TEST(Setup, FocusStartsInThePatternsAndFollowsTheOrder) {
  Dialog dialog;
  QWidget& window = dialog.open();
  EXPECT_EQ(QApplication::focusWidget(), &dialog.control<QLineEdit>("Text1"));

  const QStringList ours{"Text1",    "Command1", "Drive1",   "List1",    "Text2",    "Command2",
                         "Command3", "Command4", "Command5", "Command6", "Command7", "Check1"};
  QStringList chain;
  QWidget* at = &dialog.control<QLineEdit>("Text1");
  do {
    if (ours.contains(at->objectName()) && !chain.contains(at->objectName()))
      chain << at->objectName();
    at = at->nextInFocusChain();
  } while (at != &dialog.control<QLineEdit>("Text1"));
  EXPECT_EQ(chain, ours);

  // Tab skips the disabled Add and Remove.
  QStringList visited;
  for (int i = 0; i < 10; ++i) {
    press(*QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(visited, QStringList({"Command1", "Drive1", "List1", "Text2", "Command4", "Command5",
                                  "Command6", "Command7", "Check1", "Text1"}));
  EXPECT_TRUE(window.isVisible());
}

TEST(Setup, OpensWithTheDefaultsAndSavesThemWithoutASettingsFile) {
  Dialog dialog;
  dialog.desktop.desktop.cursorCount = -3;
  dialog.open();
  EXPECT_EQ(dialog.control<QLineEdit>("Text1").text(), kDefaults);
  EXPECT_TRUE(dialog.control<QCheckBox>("Check1").isChecked());
  EXPECT_TRUE(dialog.control<QComboBox>("Drive1").isEnabled());
  // A: is not a drive here: the chooser keeps its own choice, A: stays stored.
  EXPECT_EQ(dialog.control<QComboBox>("Drive1").currentText(), "C: [/]");
  EXPECT_FALSE(dialog.control<QPushButton>("Command2").isEnabled());
  EXPECT_FALSE(dialog.control<QPushButton>("Command3").isEnabled());
  EXPECT_TRUE(dialog.playList().isEmpty());
  // Shown: the pointer visible, the dialog topmost and on top.
  EXPECT_EQ(dialog.desktop.desktop.cursorCount, 0);
  EXPECT_EQ(dialog.desktop.desktop.placements, QStringList({"topmost Settings", "top Settings"}));

  // Placed at a ninth of the screen's width (113.8), centred in its height.
  EXPECT_EQ(dialog.program.windows.setup().pos(), QPoint(114, (768 - 358) / 2));

  EXPECT_TRUE(dialog.click("Command6"));
  EXPECT_EQ(dialog.savedFile(), "A:\r\n" + kDefaults.toLatin1() + "\r\n");
  EXPECT_EQ(dialog.desktop.process.endings, std::vector<int>({0}));
}

TEST(Setup, ThePlayListAndPatternsComeFromTheStoredSettings) {
  Dialog dialog([](SharedState& state) {
    state.FileSpec = " *.MOV, *.QT ";
    state.PlayCount = 2;
    state.PlayList[1] = "/clips/sea.avi";
    state.PlayList[2] = "/clips/song.mp3";
  });
  dialog.open();
  EXPECT_EQ(dialog.control<QLineEdit>("Text1").text(), " *.MOV, *.QT ");
  EXPECT_EQ(dialog.playList(), QStringList({"/clips/sea.avi", "/clips/song.mp3"}));

  // The pattern text is written through at every change, and saved as typed.
  auto& patterns = dialog.control<QLineEdit>("Text1");
  patterns.clear();
  type(patterns, "  *.AVI, \"*.MPG\" ;x");
  EXPECT_EQ(dialog.program.state.FileSpec, "  *.AVI, \"*.MPG\" ;x");
  EXPECT_TRUE(dialog.click("Command6"));
  EXPECT_EQ(dialog.savedFile(),
            "A:\r\n  *.AVI, \"*.MPG\" ;x\r\n/clips/sea.avi\r\n/clips/song.mp3\r\n");
}

TEST(Setup, TheScanningSwitchFlipsTheSharedFlagBothWays) {
  // Scanning off at start: the stored first line was empty.
  Dialog dialog([](SharedState& state) {
    state.ScanDrive.clear();
    state.NoDriveScan = true;
  });
  QWidget& window = dialog.open();
  auto& check = dialog.control<QCheckBox>("Check1");
  auto& drive = dialog.control<QComboBox>("Drive1");
  EXPECT_FALSE(check.isChecked());
  EXPECT_FALSE(drive.isEnabled());
  EXPECT_EQ(drive.palette().color(QPalette::Base), window.palette().color(QPalette::Window));

  // On: the drive the chooser shows is taken, as none was stored.
  check.click();
  EXPECT_FALSE(dialog.program.state.NoDriveScan);
  EXPECT_TRUE(check.isChecked());
  EXPECT_TRUE(drive.isEnabled());
  EXPECT_EQ(drive.palette().color(QPalette::Base),
            dialog.control<QLineEdit>("Text1").palette().color(QPalette::Base));
  EXPECT_EQ(drive.currentText(), "C: [/]");
  EXPECT_EQ(dialog.program.state.ScanDrive, "C:");

  // Off again: the first line is written empty, whatever the chooser shows.
  check.click();
  EXPECT_TRUE(dialog.program.state.NoDriveScan);
  EXPECT_FALSE(check.isChecked());
  EXPECT_FALSE(drive.isEnabled());
  EXPECT_TRUE(dialog.click("Command6"));
  EXPECT_EQ(dialog.savedFile(), "\r\n" + kDefaults.toLatin1() + "\r\n");
}

TEST(Setup, ADriveThatIsNotReadyKeepsTheStoredDriveAndAChosenOneIsTaken) {
  TempFolder disc;
  for (const char* stored : {"E:", "Q:"}) {
    Dialog dialog([&](SharedState& state) { state.ScanDrive = stored; });
    dialog.desktop.drives.map('D', disc.path());
    dialog.desktop.drives.map('E', disc.path());
    dialog.desktop.drives.setReady('E', false);
    dialog.open();
    auto& drive = dialog.control<QComboBox>("Drive1");
    EXPECT_EQ(drive.currentText(), "C: [/]") << "its own first choice";
    EXPECT_EQ(dialog.program.state.ScanDrive, stored);
    EXPECT_TRUE(dialog.desktop.messages.shown.empty());

    // The user picks D:, and D: is what is saved.
    drive.setCurrentIndex(drive.findText("D:", Qt::MatchStartsWith));
    EXPECT_EQ(dialog.program.state.ScanDrive, "D:");
    EXPECT_TRUE(dialog.click("Command6"));
    EXPECT_TRUE(dialog.savedFile().startsWith("D:\r\n"));
  }

  // A ready stored drive, in either case, is chosen and stored in capitals.
  Dialog ready([](SharedState& state) { state.ScanDrive = "d:"; });
  ready.desktop.drives.map('D', disc.path());
  ready.open();
  EXPECT_EQ(ready.control<QComboBox>("Drive1").currentText(), "D: [" + disc.path() + "]");
  EXPECT_EQ(ready.program.state.ScanDrive, "D:");
}

TEST(Setup, TheCandidateTestFollowsEveryKeystroke) {
  Dialog dialog;
  dialog.open();
  const QString clip = dialog.folder.write("clips/a.avi", "x");
  dialog.folder.write("clips/a", "x");
  auto& text = dialog.control<QLineEdit>("Text2");
  auto& add = dialog.control<QPushButton>("Command2");

  // Keystroke by keystroke, the enabled state after each one.
  const QString folder = dialog.folder / "clips/";
  text.setText(folder);
  QString states;
  for (QChar character : QStringLiteral("a.avi/x")) {
    type(text, QString(character));
    states += add.isEnabled() ? '+' : '-';
  }
  // "a" exists; "a." to "a.av" do not; "a.avi" does; below a file: as it was.
  EXPECT_EQ(states, "+---+++");

  // A missing folder and a folder leave it as it was, both ways.
  text.setText(dialog.folder / "no-folder/a.avi");
  EXPECT_TRUE(add.isEnabled());
  text.setText(dialog.folder / "clips/b.avi");
  EXPECT_FALSE(add.isEnabled());
  text.setText(dialog.folder / "no-folder/b.avi");
  EXPECT_FALSE(add.isEnabled());
  text.setText(dialog.folder / "clips");
  EXPECT_FALSE(add.isEnabled());

  // A FIFO is not opened (this would hang) and is not a file to add.
  ASSERT_EQ(::mkfifo(qPrintable(dialog.folder / "clips/fifo"), 0600), 0);
  text.setText(clip);
  text.setText(dialog.folder / "clips/fifo");
  EXPECT_TRUE(add.isEnabled());
}

TEST(Setup, AddAppendsAsTypedAndEnterSavesAndEnds) {
  Dialog dialog;
  dialog.open();
  const QString clip = dialog.folder.write("clips/a b, \"c\".avi", "x");
  auto& text = dialog.control<QLineEdit>("Text2");
  type(text, clip);
  ASSERT_TRUE(dialog.control<QPushButton>("Command2").isEnabled());

  dialog.click("Command2");
  dialog.click("Command2");
  EXPECT_EQ(dialog.playList(), QStringList({clip, clip}));
  EXPECT_EQ(text.text(), clip);

  // Enter in the text field is the default button: save and end, no add.
  bool ended = false;
  try {
    press(text, Qt::Key_Return);
  } catch (const ProgramEnded&) {
    ended = true;
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ(dialog.savedFile(), "A:\r\n" + kDefaults.toUtf8() + "\r\n" + clip.toUtf8() + "\r\n" +
                                    clip.toUtf8() + "\r\n");
}

TEST(Setup, EscapeDoesNothingAndTheCloseBoxSavesNothing) {
  Dialog dialog;
  QWidget& window = dialog.open();
  press(dialog.control<QLineEdit>("Text2"), Qt::Key_Escape);
  press(window, Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());

  dialog.click("Command5");
  window.close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.findChild<Searcher*>(), nullptr) << "the search dialog goes with it";
  EXPECT_TRUE(dialog.savedFile().isEmpty());
  EXPECT_TRUE(dialog.desktop.process.endings.empty());
}

TEST(Setup, RemoveTakesTheSelectedEntryAndNeedsANewSelection) {
  Dialog dialog([](SharedState& state) {
    state.PlayCount = 3;
    state.PlayList[1] = "/a.avi";
    state.PlayList[2] = "/b.avi";
    state.PlayList[3] = "/c.avi";
  });
  dialog.open();
  auto& list = dialog.control<QListWidget>("List1");
  auto& remove = dialog.control<QPushButton>("Command3");
  list.setCurrentRow(1);
  EXPECT_TRUE(remove.isEnabled());
  dialog.click("Command3");
  EXPECT_EQ(dialog.playList(), QStringList({"/a.avi", "/c.avi"}));
  EXPECT_TRUE(list.selectedItems().isEmpty());
  EXPECT_FALSE(remove.isEnabled());

  // Keys in the list select again, and only then can Remove run again.
  list.setFocus();
  press(list, Qt::Key_Down);
  ASSERT_EQ(list.selectedItems().size(), 1);
  EXPECT_TRUE(remove.isEnabled());
  dialog.click("Command3");
  EXPECT_EQ(dialog.playList().size(), 1);
  EXPECT_FALSE(remove.isEnabled());
}

TEST(Setup, DefaultRestoresThePatternsAndBrowseUsesThem) {
  Dialog dialog([](SharedState& state) {
    state.ScanDrive = "D:";
    state.PlayCount = 1;
    state.PlayList[1] = "/a.avi";
  });
  dialog.open();
  auto& patterns = dialog.control<QLineEdit>("Text1");
  patterns.setText("*.OGG");
  dialog.desktop.fileDialog.answer.clear();
  dialog.click("Command4");
  ASSERT_EQ(dialog.desktop.fileDialog.shown.size(), 1u);
  EXPECT_EQ(dialog.desktop.fileDialog.shown[0].filter, "Enabled Reelvista files|*.OGG");
  EXPECT_EQ(dialog.desktop.fileDialog.shown[0].title, "Browse");
  EXPECT_EQ(dialog.desktop.fileDialog.shown[0].startFolder, "C:\\");
  EXPECT_EQ(dialog.playList(), QStringList({"/a.avi"})) << "cancelled: nothing added";

  dialog.click("Command1");
  EXPECT_EQ(patterns.text(), kDefaults);
  EXPECT_EQ(dialog.program.state.FileSpec, kDefaults);
  EXPECT_EQ(dialog.program.state.ScanDrive, "D:");
  dialog.desktop.fileDialog.answer = "/clips/picked.mpg";
  dialog.click("Command4");
  EXPECT_EQ(dialog.desktop.fileDialog.shown[1].filter, "Enabled Reelvista files|" + kDefaults);
  EXPECT_EQ(dialog.playList(), QStringList({"/a.avi", "/clips/picked.mpg"}));
}

TEST(Setup, NamesWithALineBreakAndAFullPlayListAddNothingAndSaySo) {
  Dialog dialog([](SharedState& state) {
    state.PlayCount = 999;
    for (int i = 1; i <= 999; ++i)
      state.PlayList[i] = "/clips/" + QString::number(i) + ".avi";
  });
  dialog.open();
  auto& messages = dialog.desktop.messages.shown;

  const QString broken = dialog.folder.write("two\nlines.avi", "x");
  dialog.control<QLineEdit>("Text2").setText(broken);
  ASSERT_TRUE(dialog.control<QPushButton>("Command2").isEnabled());
  dialog.click("Command2");
  dialog.desktop.fileDialog.answer = broken;
  dialog.click("Command4");
  EXPECT_EQ(dialog.playList().size(), 999);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[0].text.contains("line break"));
  EXPECT_EQ(messages[0].title, "SCRNSAVE: Reelvista screensaver");

  // The 1000th fits; the 1001st, typed or browsed, does not.
  const QString clip = dialog.folder.write("clip.avi", "x");
  dialog.control<QLineEdit>("Text2").setText(clip);
  dialog.click("Command2");
  EXPECT_EQ(dialog.playList().size(), 1000);
  dialog.click("Command2");
  dialog.desktop.fileDialog.answer = clip;
  dialog.click("Command4");
  EXPECT_EQ(dialog.playList().size(), 1000);
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_TRUE(messages[2].text.contains("1000"));
  EXPECT_EQ(dialog.desktop.fileDialog.shown.size(), 1u) << "a full list opens no file dialog";
}

TEST(Setup, TheSearchDialogOpensOnceAndAddsWhatFits) {
  Dialog dialog([](SharedState& state) {
    state.PlayCount = 998;
    for (int i = 1; i <= 998; ++i)
      state.PlayList[i] = "/clips/" + QString::number(i) + ".avi";
  });
  QWidget& window = dialog.open();
  auto& search = dialog.control<QPushButton>("Command5");
  dialog.click("Command5");
  EXPECT_FALSE(search.isEnabled());
  auto* searcher = window.findChild<Searcher*>();
  ASSERT_NE(searcher, nullptr);
  EXPECT_TRUE(searcher->isVisible());

  auto& opener = dynamic_cast<SearchClient&>(window);
  EXPECT_EQ(opener.openerGeometry(), window.frameGeometry());
  EXPECT_EQ(opener.appendToPlayList({"/found/1.avi", "/found/two\nlines.avi", "/found/2.avi",
                                     "/found/3.avi", "/found/4.avi"}),
            3);
  EXPECT_EQ(dialog.playList().size(), 1000);
  EXPECT_EQ(dialog.playList().mid(998), QStringList({"/found/1.avi", "/found/2.avi"}));

  // Activated again from the search dialog: pointer, topmost, on top once more.
  dialog.desktop.desktop.placements.clear();
  searcher->activateWindow();
  QCoreApplication::processEvents();
  window.activateWindow();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.desktop.desktop.placements, QStringList({"topmost Settings", "top Settings"}));

  // However it closes, searching can start again.
  searcher->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window.findChild<Searcher*>(), nullptr);
  EXPECT_TRUE(search.isEnabled());
}

TEST(Setup, ActivationFromAnyOtherWindowRunsNothing) {
  Dialog dialog;
  QWidget& window = dialog.open();
  dialog.desktop.desktop.placements.clear();
  QWidget other;
  other.show();
  other.activateWindow();
  QCoreApplication::processEvents();
  window.activateWindow();
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.desktop.desktop.placements.isEmpty());
}

TEST(Setup, TheAboutBoxSaysSevenLinesWithLineFeedsOnly) {
  Dialog dialog;
  dialog.open();
  dialog.click("Command7");
  ASSERT_EQ(dialog.desktop.messages.shown.size(), 1u);
  const auto& about = dialog.desktop.messages.shown[0];
  EXPECT_EQ(about.title, "About Reelvista Screensaver");
  EXPECT_EQ(about.style, 4096);
  EXPECT_EQ(about.text,
            "Reelvista Screensaver Version 2.01\n"
            "Written and maintained by the Reelvista team.\n\n"
            "Contact: write to the Reelvista team through the project's issue tracker.\n\n"
            "\n\n"
            "Send any suggestions, bug reports, etc. to my email address.\n\n"
            "For updates and help, see the README file that comes with Reelvista.\n\n"
            "Note: Please carefully peruse the README file and the webpage for technical "
            "support.");
  EXPECT_FALSE(about.text.contains('\r'));
}

TEST(Setup, AFailedSaveSaysWhyKeepsTheDialogAndTheOldFile) {
  Dialog dialog;
  const QByteArray old = "E:\r\n*.MPG\r\n/old.avi\r\n";
  dialog.folder.write("ReelvistaSaver.INI", old);
  QWidget& window = dialog.open();
  dialog.control<QListWidget>("List1").addItem("/new.avi");

  // A folder the user may not write to (the test runs as root in CI).
  ::chmod(qPrintable(dialog.folder.path()), 0555);
  openPathToOthers(qPrintable(dialog.folder.path()));
  const int outcome = runUnprivileged([&] {
    const bool ended = dialog.click("Command6");
    const auto& shown = dialog.desktop.messages.shown;
    if (ended || shown.size() != 1 || !window.isVisible())
      return 2;
    return shown[0].text.contains("ReelvistaSaver.INI") && shown[0].text.contains("not saved") ? 1
                                                                                               : 3;
  });
  EXPECT_EQ(outcome, 1);
  EXPECT_EQ(dialog.savedFile(), old);

  // A pattern list the next start could not read back is refused the same way.
  ::chmod(qPrintable(dialog.folder.path()), 0755);
  dialog.control<QLineEdit>("Text1").setText("*.AVI\n*.MPG");
  EXPECT_FALSE(dialog.click("Command6"));
  EXPECT_EQ(dialog.desktop.messages.shown.size(), 1u);
  EXPECT_EQ(dialog.savedFile(), old);
  EXPECT_TRUE(window.isVisible());
}
