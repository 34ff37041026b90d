// The main of every test binary: GoogleTest inside a QApplication, so that
// tests can use real widgets; skipped tests make the binary end as skipped
// (support/skip_list.h).
#include <gtest/gtest.h>

#include <QApplication>
#include <iostream>

#include "support/skip_list.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  const bool underCi = !qEnvironmentVariable("CI").isEmpty();
  return statusWithSkips(status, skipsOfThisRun(), underCi, AllowedSkips::ofThisTree(), std::cerr);
}
