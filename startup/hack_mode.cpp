#include "startup/hack_mode.h"

#include <optional>

namespace {

bool isOption(const QString& argument, const char* name) {
  return argument == QLatin1String("-") + QLatin1String(name) ||
         argument == QLatin1String("--") + QLatin1String(name);
}

// X window numbers are 32 bits; 0 names no window.
std::optional<std::uint32_t> windowNumber(const QString& text) {
  bool ok = false;
  const QString trimmed = text.trimmed();
  const qulonglong number = trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                ? trimmed.mid(2).toULongLong(&ok, 16)
                                : trimmed.toULongLong(&ok, 10);
  if (!ok || number == 0 || number > 0xFFFFFFFFULL)
    return std::nullopt;
  return static_cast<std::uint32_t>(number);
}

void takeWindow(HackMode& mode, const QString& text) {
  if (const auto number = windowNumber(text))
    mode.window = *number;
  else
    mode.error = QStringLiteral("\"%1\" is not a window number.").arg(text);
}

}  // namespace

HackMode hackModeOf(const QStringList& arguments, const QString& hostWindowVariable) {
  HackMode mode;
  bool root = false;
  std::optional<QString> explicitWindow;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (isOption(argument, "root")) {
      root = true;
    } else if (isOption(argument, "window-id")) {
      explicitWindow = i + 1 < arguments.size() ? arguments[++i] : QString();
    } else if (argument.startsWith(QLatin1String("--window-id="))) {
      explicitWindow = argument.section('=', 1);
    }
  }
  const bool hostStartedUs = arguments.isEmpty() && !hostWindowVariable.isEmpty();
  mode.on = root || explicitWindow || hostStartedUs;
  if (!mode.on)
    return mode;
  if (explicitWindow) {
    mode.preview = true;
    takeWindow(mode, *explicitWindow);
  } else if (!hostWindowVariable.isEmpty()) {
    takeWindow(mode, hostWindowVariable);
  }
  return mode;
}
