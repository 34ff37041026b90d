#pragma once

#include <QByteArray>
#include <QWidget>
#include <array>

namespace platform {

// A field for a password that keeps what is typed in one buffer of its own
// and nowhere else: no undo history, no clipboard, no context menu, no
// input method, no text a program can read off it. Shown as one bullet a
// character. Every character is overwritten as it leaves the buffer.
//
// Keys: characters append; Backspace takes the last one away; Ctrl+A marks
// all of it, and the next character or Backspace or Delete replaces it;
// Ctrl+U empties it. Enter, Escape and Tab go on to the dialog.
class PasswordField final : public QWidget {
  Q_OBJECT

 public:
  static constexpr std::size_t kCapacity = 256;

  explicit PasswordField(QWidget* parent = nullptr);
  ~PasswordField() override;

  int length() const { return static_cast<int>(length_); }
  // Hands over what was typed, as UTF-8, and empties the field.
  QByteArray take();
  void clear();

  QSize sizeHint() const override;

 signals:
  // A key changed what the field holds.
  void edited();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void type(const QString& text);
  void eraseLast();

  std::array<char32_t, kCapacity> typed_{};
  std::size_t length_ = 0;
  bool allMarked_ = false;
};

}  // namespace platform
