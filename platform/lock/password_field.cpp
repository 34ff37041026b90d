#include "platform/lock/password_field.h"

#include <string.h>

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace platform {
namespace {

constexpr QChar kBullet(0x25cf);

void appendUtf8(QByteArray& bytes, char32_t character) {
  if (character < 0x80) {
    bytes += static_cast<char>(character);
  } else if (character < 0x800) {
    bytes += static_cast<char>(0xc0 | (character >> 6));
    bytes += static_cast<char>(0x80 | (character & 0x3f));
  } else if (character < 0x10000) {
    bytes += static_cast<char>(0xe0 | (character >> 12));
    bytes += static_cast<char>(0x80 | ((character >> 6) & 0x3f));
    bytes += static_cast<char>(0x80 | (character & 0x3f));
  } else {
    bytes += static_cast<char>(0xf0 | (character >> 18));
    bytes += static_cast<char>(0x80 | ((character >> 12) & 0x3f));
    bytes += static_cast<char>(0x80 | ((character >> 6) & 0x3f));
    bytes += static_cast<char>(0x80 | (character & 0x3f));
  }
}

}  // namespace

PasswordField::PasswordField(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setContextMenuPolicy(Qt::NoContextMenu);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

PasswordField::~PasswordField() {
  clear();
}

QByteArray PasswordField::take() {
  QByteArray bytes;
  // Room for the longest text at once: growing would leave copies behind.
  bytes.reserve(static_cast<qsizetype>(kCapacity) * 4);
  for (std::size_t at = 0; at < length_; ++at)
    appendUtf8(bytes, typed_[at]);
  clear();
  return bytes;
}

void PasswordField::clear() {
  ::explicit_bzero(typed_.data(), sizeof typed_);
  length_ = 0;
  allMarked_ = false;
  update();
}

QSize PasswordField::sizeHint() const {
  return {fontMetrics().horizontalAdvance(kBullet) * 20 + 8, fontMetrics().height() + 8};
}

void PasswordField::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  // A key held down (the one that woke the prompt, say) types once; only
  // Backspace goes on erasing.
  if (event->isAutoRepeat() && key != Qt::Key_Backspace) {
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    allMarked_ = length_ > 0;
    update();
  } else if (key == Qt::Key_U && event->modifiers() == Qt::ControlModifier) {
    clear();
    emit edited();
  } else if (key == Qt::Key_Backspace || (key == Qt::Key_Delete && allMarked_)) {
    if (allMarked_)
      clear();
    else
      eraseLast();
    emit edited();
  } else if (!event->text().isEmpty() && event->text().front().isPrint() &&
             !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
    type(event->text());
    emit edited();
  } else {
    event->ignore();
    return;
  }
  event->accept();
}

// Read in place, character by character: no converted copy of the text.
void PasswordField::type(const QString& text) {
  if (allMarked_)
    clear();
  for (qsizetype at = 0; at < text.size(); ++at) {
    char32_t character = text[at].unicode();
    if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
      character = QChar::surrogateToUcs4(text[at], text[at + 1]);
      ++at;
    }
    if (length_ < kCapacity)
      typed_[length_++] = character;
  }
  update();
}

void PasswordField::eraseLast() {
  if (length_ == 0)
    return;
  typed_[--length_] = 0;
  update();
}

void PasswordField::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionFrame frame;
  frame.initFrom(this);
  frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
  frame.state |= QStyle::State_Sunken;
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);
  const QRect inside = rect().adjusted(4, 0, -4, 0);
  const int fits = qMax(0, inside.width() / qMax(1, fontMetrics().horizontalAdvance(kBullet)));
  const QString bullets(qMin(length(), fits), kBullet);
  const QRect drawn = fontMetrics().boundingRect(inside, Qt::AlignVCenter | Qt::AlignLeft, bullets);
  if (allMarked_)
    painter.fillRect(drawn, palette().highlight());
  painter.setPen(palette().color(allMarked_ ? QPalette::HighlightedText : QPalette::Text));
  painter.drawText(inside, Qt::AlignVCenter | Qt::AlignLeft, bullets);
  if (hasFocus() && !allMarked_)
    painter.drawLine(drawn.right() + 1, drawn.top(), drawn.right() + 1, drawn.bottom());
}

}  // namespace platform
