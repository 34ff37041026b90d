#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "startup/random_source.h"

// The play list holds slots 0 to 1000; slot 0 stays empty, so at most 1000
// entries fit.
inline constexpr int kPlayListSlots = 1001;
inline constexpr int kMaxPlayCount = kPlayListSlots - 1;

inline const QString kDefaultFileSpec =
    QStringLiteral("*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM");
inline const QString kDefaultScanDrive = QStringLiteral("A:");

// The values several windows read and write, one copy for the whole run.
// The names are the program's own and so keep their capitals.
struct SharedState {
  std::array<QString, kPlayListSlots> PlayList{};  // entries in slots 1..PlayCount
  std::int16_t PlayCount = 0;
  QString ScanDrive = kDefaultScanDrive;  // a letter and a colon, or empty: no scan
  QString FileSpec = kDefaultFileSpec;    // patterns separated by semicolons
  bool NoDriveScan = false;               // true: play at once, without the drive scan
  bool MovieReady = false;                // the file now loaded has reported ready
  bool Exiting = false;                   // the exit routine runs
  std::array<std::int16_t, kPlayListSlots> PlayOrder{};  // slot to play i-th
  std::int16_t PlayPos = 0;                              // position in PlayOrder
  RandomSource random;

  // The values every saver or settings start begins from. PlayOrder, PlayPos
  // and Exiting are not touched.
  void setDefaults();
};
