// The controls of the settings dialog and where they stand. Positions and
// sizes are in twips, relative to the control's container.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/controls/dialog_font.h"
#include "platform/controls/drive_list.h"
#include "platform/controls/program_icon.h"
#include "platform/controls/units.h"
#include "setup/setup.h"
#include "startup/program.h"

using platform::placeInDialog;

namespace {

QFont captionFont() {
  QFont font = platform::dialogFont();
  font.setBold(true);
  return font;
}

QGroupBox* frame(QWidget* dialog, const char* name, const QString& caption, int top, int height) {
  QGroupBox* box = placeInDialog(new QGroupBox(caption, dialog), name, 120, top, 3975, height);
  box->setFont(captionFont());
  return box;
}

QLabel* label(QWidget* container, const char* name, const QString& text, int height) {
  QLabel* label = placeInDialog(new QLabel(text, container), name, 120, 240, 3735, height);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QPushButton* button(QWidget* container, const char* name, const QString& caption, int left, int top,
                    int width) {
  return placeInDialog(new QPushButton(caption, container), name, left, top, width, 375);
}

}  // namespace

void Setup::makeControls() {
  setFont(platform::dialogFont());
  setFixedSize(platform::twips(4215), platform::twips(5370));
  setWindowIcon(platform::programIcon());
  // A fixed dialog border: a title and a close box, nothing to resize with.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setSizeGripEnabled(false);

  Frame1 = frame(this, "Frame1", QStringLiteral(" Reelvista files "), 0, 1215);
  Label1 = label(Frame1, "Label1",
                 QStringLiteral("To let Reelvista screensaver open other types of files, add "
                                "its extension(s) below:"),
                 495);
  Text1 = placeInDialog(new QLineEdit(Frame1), "Text1", 120, 720, 2775, 285);
  Command1 = button(Frame1, "Command1", QStringLiteral("&Default"), 3000, 720, 855);

  Frame2 = frame(this, "Frame2", QStringLiteral(" Drive scanning      "), 1320, 1215);
  Label2 = label(Frame2, "Label2",
                 QStringLiteral("Each time the screensaver starts, where should it look for "
                                "files? (CDROM drive recommended)"),
                 735);
  Drive1 = placeInDialog(new platform::DriveList(*program_.platform.drives, Frame2), "Drive1", 120,
                         720, 3735, 315);
  // In the caption line, just right of the caption text.
  Check1 = placeInDialog(new QCheckBox(Frame2), "Check1", 1560, 0, 255, 255);

  Frame3 = frame(this, "Frame3", QStringLiteral(" Play list "), 2640, 2175);
  Text2 = placeInDialog(new QLineEdit(Frame3), "Text2", 120, 240, 2775, 285);
  List1 = placeInDialog(new QListWidget(Frame3), "List1", 120, 600, 2775, 1425);
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  Command2 = button(Frame3, "Command2", QStringLiteral("&Add"), 3000, 240, 855);
  Command4 = button(Frame3, "Command4", QStringLiteral("&Browse..."), 3000, 720, 855);
  Command5 = button(Frame3, "Command5", QStringLiteral("&Search..."), 3000, 1200, 855);
  Command3 = button(Frame3, "Command3", QStringLiteral("&Remove"), 3000, 1680, 855);

  Command6 = button(this, "Command6", QStringLiteral("OK"), 1800, 4920, 1095);
  Command7 = button(this, "Command7", QStringLiteral("Abou&t..."), 3000, 4920, 1095);
  Command6->setDefault(true);
  Command2->setEnabled(false);
  Command3->setEnabled(false);

  CommonDialog1.title = QStringLiteral("Browse");
  CommonDialog1.startFolder = QStringLiteral("C:\\");
  setTabOrder();
}

void Setup::setTabOrder() {
  const QList<QWidget*> order{Text1,    Command1, Drive1,   List1,    Text2,    Command2,
                              Command3, Command4, Command5, Command6, Command7, Check1};
  for (qsizetype i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(order[i - 1], order[i]);
  Text1->setFocus();
}
