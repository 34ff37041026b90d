#include "startup/shared_state.h"

void SharedState::setDefaults() {
  MovieReady = false;
  PlayCount = 0;
  ScanDrive = kDefaultScanDrive;
  FileSpec = kDefaultFileSpec;
  NoDriveScan = false;
}
