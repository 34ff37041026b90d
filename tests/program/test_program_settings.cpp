// The settings dialog of the built program, driven with the keyboard on the
// X display, and its pixels held against the layout table.
#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <QThread>

#include "platform/controls/units.h"
#include "support/program_run.h"
#include "support/screen.h"
#include "support/wait.h"

namespace {

const QByteArray kDefaults = "*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM";

struct Place {
  const char* name;
  int containerLeft, containerTop;  // the container's place in the dialog, in twips
  int left, top, width, height;
  enum Kind { Framed, Group, Text, Mark } kind;
};

// The layout table, each control in dialog coordinates.
const Place kLayout[] = {
    {"Frame1", 0, 0, 120, 0, 3975, 1215, Place::Group},
    {"Label1", 120, 0, 120, 240, 3735, 495, Place::Text},
    {"Text1", 120, 0, 120, 720, 2775, 285, Place::Framed},
    {"Command1", 120, 0, 3000, 720, 855, 375, Place::Framed},
    {"Frame2", 0, 0, 120, 1320, 3975, 1215, Place::Group},
    {"Check1", 120, 1320, 1560, 0, 255, 255, Place::Mark},
    {"Label2", 120, 1320, 120, 240, 3735, 735, Place::Text},
    {"Drive1", 120, 1320, 120, 720, 3735, 315, Place::Framed},
    {"Frame3", 0, 0, 120, 2640, 3975, 2175, Place::Group},
    {"Text2", 120, 2640, 120, 240, 2775, 285, Place::Framed},
    {"List1", 120, 2640, 120, 600, 2775, 1425, Place::Framed},
    {"Command2", 120, 2640, 3000, 240, 855, 375, Place::Framed},
    {"Command4", 120, 2640, 3000, 720, 855, 375, Place::Framed},
    {"Command5", 120, 2640, 3000, 1200, 855, 375, Place::Framed},
    {"Command3", 120, 2640, 3000, 1680, 855, 375, Place::Framed},
    {"Command6", 0, 0, 1800, 4920, 1095, 375, Place::Framed},
    {"Command7", 0, 0, 3000, 4920, 1095, 375, Place::Framed},
};

QRect inDialog(const Place& place) {
  return QRect(platform::twips(place.containerLeft) + platform::twips(place.left),
               platform::twips(place.containerTop) + platform::twips(place.top),
               platform::twips(place.width), platform::twips(place.height));
}

// Reads a screenshot of the dialog: where the drawing of a control begins.
class Shot {
 public:
  explicit Shot(QImage dialog) : image_(std::move(dialog)) {}

  // Walks from (x, y) by (dx, dy) until the colour differs from where the
  // walk began; returns the coordinate along the walk, or -1.
  int edge(int x, int y, int dx, int dy) const {
    const QColor start = image_.pixelColor(x, y);
    for (int step = 0; step < 12; ++step, x += dx, y += dy) {
      if (!image_.rect().contains(x, y))
        return -1;
      if (differs(image_.pixelColor(x, y), start))
        return dx != 0 ? x : y;
    }
    return -1;
  }

  // The box around the dark pixels (text, marks) inside the area.
  QRect ink(const QRect& area) const {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        if (image_.rect().contains(x, y) && image_.pixelColor(x, y).lightness() < 128)
          box |= QRect(x, y, 1, 1);
      }
    }
    return box;
  }

 private:
  static bool differs(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) >
           30;
  }

  QImage image_;
};

// Where the control's drawing lies, as far as the screenshot tells: the
// frame's left, top, right and bottom lines for framed controls and groups
// (a group's top is its caption), the ink's box for the rest.
QRect drawn(const Shot& shot, const Place& place) {
  const QRect rect = inDialog(place);
  const int midX = rect.center().x(), midY = rect.center().y();
  switch (place.kind) {
    case Place::Framed:
      return QRect(
          QPoint(shot.edge(rect.left() - 3, midY, 1, 0), shot.edge(midX, rect.top() - 3, 0, 1)),
          QPoint(shot.edge(rect.right() + 3, midY, -1, 0),
                 shot.edge(midX, rect.bottom() + 3, 0, -1)));
    case Place::Group: {
      const QRect caption = shot.ink(QRect(rect.left(), rect.top(), rect.width() / 2, 14));
      return QRect(QPoint(shot.edge(rect.left() - 3, midY, 1, 0), caption.top()),
                   QPoint(shot.edge(rect.right() + 3, midY, -1, 0),
                          shot.edge(midX, rect.bottom() + 3, 0, -1)));
    }
    case Place::Text:
      return shot.ink(rect);
    case Place::Mark:  // the box the mark is drawn in; the label's text is right below
      return QRect(
          QPoint(shot.edge(rect.left() - 3, midY, 1, 0), shot.edge(midX, rect.top() - 3, 0, 1)),
          QPoint(shot.edge(rect.right() + 3, midY, -1, 0), rect.bottom()));
  }
  return {};
}

QString described(const QRect& rect) {
  return QStringLiteral("(%1,%2)-(%3,%4)")
      .arg(rect.left())
      .arg(rect.top())
      .arg(rect.right())
      .arg(rect.bottom());
}

// What stands out of place, a line for each control; none when every
// control is drawn where the layout table puts it.
QStringList layoutFaults(const Shot& shot) {
  QStringList faults;
  for (const Place& place : kLayout) {
    const QRect rect = inDialog(place);
    const QRect found = drawn(shot, place);
    bool inPlace = true;
    switch (place.kind) {
      case Place::Framed:
        // Frames are drawn on the control's outermost pixels.
        inPlace = (found.topLeft() - rect.topLeft()).manhattanLength() <= 1 &&
                  (found.bottomRight() - rect.bottomRight()).manhattanLength() <= 1;
        break;
      case Place::Group:
        // The caption starts the group.
        inPlace = std::abs(found.left() - rect.left()) <= 2 &&
                  std::abs(found.right() - rect.right()) <= 2 &&
                  std::abs(found.bottom() - rect.bottom()) <= 2 &&
                  std::abs(found.top() - rect.top()) <= 3;
        break;
      case Place::Text:
        // The text begins at the label's top left, and none stands left of it.
        inPlace = !found.isEmpty() && found.left() - rect.left() <= 3 &&
                  found.top() - rect.top() <= 5 &&
                  shot.ink(QRect(rect.left() - 3, rect.top(), 3, rect.height())).isEmpty();
        break;
      case Place::Mark:
        // The style draws the box a little narrower than the control.
        inPlace = std::abs(found.left() - rect.left()) <= 1 &&
                  std::abs(found.top() - rect.top()) <= 1 &&
                  std::abs(found.right() - rect.right()) <= 3;
        break;
    }
    if (!inPlace)
      faults << QStringLiteral("%1: drawn at %2, laid out at %3")
                    .arg(place.name, described(found), described(rect));
  }
  return faults;
}

void keys(const QStringList& names) {
  for (const QString& name : names) {
    ProgramRun::xdotool({"key", "--clearmodifiers", name});
    QThread::msleep(80);
  }
}

}  // namespace

class ProgramSettings : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
  }
};

TEST_F(ProgramSettings, TypeAPathAddItPressEnterAndTheFileHoldsIt) {
  ProgramRun run;
  const QString clip = run.folder().write("clips/sea.avi", "x");
  // Off the dialog: a test before this one may have left the pointer on a
  // button (the search test clicks OK), which would draw it hovered.
  ProgramRun::xdotool({"mousemove", "0", "0"});
  run.start({});
  const QString window = run.waitForWindow("Settings", 15000);
  ASSERT_FALSE(window.isEmpty());
  ASSERT_TRUE(ProgramRun::waitForFocus(window, 10000)) << "the dialog takes the focus itself";

  // The focus starts in the patterns; Text2 is four Tabs on.
  keys({"Tab", "Tab", "Tab", "Tab"});
  ProgramRun::xdotool({"type", "--delay", "30", clip});
  QThread::msleep(300);
  keys({"alt+a", "Escape"});
  QThread::msleep(300);

  const QRect dialog = ProgramRun::windowGeometry(window);
  EXPECT_EQ(dialog.size(), QSize(281, 358));
  // The root window's pixels, which hold no pointer (a screenshot tool
  // draws it in), looked at until the repaints of the keys are on screen.
  QStringList faults;
  EXPECT_TRUE(waitUntil(
      [&] {
        faults = layoutFaults(Shot(screen::grab(dialog)));
        return faults.isEmpty();
      },
      5000))
      << faults.join('\n').toStdString();
  EXPECT_FALSE(run.waitForExit(0).has_value()) << "Escape closes nothing";

  keys({"Return"});
  ASSERT_EQ(run.waitForExit(10000), 0);
  EXPECT_EQ(run.settingsFile(), "A:\r\n" + kDefaults + "\r\n" + clip.toUtf8() + "\r\n");
}
