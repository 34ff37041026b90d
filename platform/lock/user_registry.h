#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

// The per-user settings store: named values under keys of the current
// user's part of the registry ("Control Panel\Desktop"). A value is stored
// as bytes: a dword as its 4 bytes little-endian, a string as its UTF-8 text
// and a closing zero byte, a hex value as its bytes.
class UserRegistry {
 public:
  virtual ~UserRegistry() = default;

  // The value's bytes, or nothing when the store, the key or the value is
  // missing. Key and value names match without regard to case.
  virtual std::optional<QByteArray> value(const QString& key, const QString& name) const = 0;
};

// Reads the value into a 4-byte number that starts at 0: its first 4 bytes,
// little-endian, fill the number; what is missing stays 0. A string "1"
// reads as 49.
std::uint32_t readNumber(const UserRegistry& registry, const QString& key, const QString& name);

// True when the user's desktop asks for the password to end the saver:
// "ScreenSaveUsePassword" under "Control Panel\Desktop" reads as exactly 1.
bool usesPassword(const UserRegistry& registry);

// The values of a store in REGEDIT4 text form, by "key\name" in lower case.
using RegistryValues = QMap<QString, QByteArray>;
QString registryPath(const QString& key, const QString& name);

// Parses REGEDIT4 text: the header line, then sections
// "[HKEY_CURRENT_USER\Control Panel\Desktop]" and values "name"=dword:0000000a, "name"="text",
// "name"=hex:31,00 (also hex(n): typed bytes; a trailing backslash continues the line). Blank lines
// and lines starting with ';' are skipped. Only the current user's keys are kept. A text that is
// not such a file in every line gives nothing, and `problem` says which line is wrong.
std::optional<RegistryValues> parseRegistryText(const QByteArray& text, QString* problem = nullptr);

// The store of this desktop: the file "user.reg" in
// ${XDG_CONFIG_HOME:-$HOME/.config}/reelvista/, read whole at every look-up.
// A malformed file reads as no values at all; the first look-up says why on
// standard error.
class FileUserRegistry final : public UserRegistry {
 public:
  FileUserRegistry();
  explicit FileUserRegistry(QString file);

  std::optional<QByteArray> value(const QString& key, const QString& name) const override;

 private:
  QString file_;
  mutable bool complained_ = false;
};

}  // namespace platform
