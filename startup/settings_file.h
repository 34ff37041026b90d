#pragma once

#include <QString>
#include <QStringList>

struct SharedState;

// "ReelvistaSaver.INI" in the settings folder (beside the executable when the
// user may write there). Its meaning is by line: line 1
// the drive to scan (empty: no scan), line 2 the pattern list, then one
// play-list path a line. Every line written ends with CR LF.

inline const QString kSettingsFileName = QStringLiteral("ReelvistaSaver.INI");

QString settingsFilePath(const QString& settingsFolder);

// Whether a value or play-list entry can be stored on one line of the file:
// it holds no line break (CR or LF).
bool fitsOnOneLine(const QString& text);

struct SettingsReadReport {
  // Entry lines past the 1000 the play list holds; they were not loaded.
  int entriesLeftOut = 0;
};

// Reads the file into ScanDrive, NoDriveScan, FileSpec, PlayList and
// PlayCount. Throws platform::PlatformError: FileNotFound for a missing file,
// PathNotFound for a missing folder, Other for a file that ends before its
// second line or cannot be read. What was read before a failure stays.
SettingsReadReport readSettingsFile(const QString& path, SharedState& state);
// The same reading, of bytes already in memory.
SettingsReadReport parseSettingsFile(const QByteArray& bytes, SharedState& state);

// What the settings dialog saves.
struct SettingsFileContents {
  QString scanDrive;  // empty: no scan
  QString patterns;   // as typed
  QStringList entries;
};

// The bytes the file holds for these contents.
QByteArray encodeSettingsFile(const SettingsFileContents& contents);

// Replaces the file whole, or leaves the old one as it was and throws
// platform::PlatformError naming the failure. Refuses a play list the program
// could not load again (more than 1000 entries, an entry with a line break).
void writeSettingsFile(const QString& path, const SettingsFileContents& contents);
