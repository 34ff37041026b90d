#pragma once

#include <QString>

class QWidget;

namespace platform {

// The program's own title, carried by every message box without one.
inline const QString kProgramTitle = QStringLiteral("SCRNSAVE: Reelvista screensaver");

// Message box style values: the low bits choose the buttons, the next the icon.
namespace style {
constexpr int kOkOnly = 0;
constexpr int kCritical = 16;
constexpr int kExclamation = 48;
constexpr int kInformation = 64;
constexpr int kSystemModal = 4096;
}  // namespace style

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a modal message with an OK button and returns when it is closed.
  // Returns 1, the answer of the OK button.
  virtual int show(const QString& text, int style = style::kOkOnly,
                   const QString& title = kProgramTitle, QWidget* owner = nullptr) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
 public:
  int show(const QString& text, int style, const QString& title, QWidget* owner) override;
};

}  // namespace platform
