// How skips count: never as a pass, and under CI only when the list of the
// test tree says why.
#include <gtest/gtest.h>

#include <sstream>

#include "support/skip_list.h"

namespace {

const AllowedSkips kAllowed(
    "# a comment | with | bars\n"
    "\n"
    "* | Xorg runs only as root here | needs root\n"
    "ProgramScan.* | no tmpfs | needs root\r\n"
    "a line without the separators\n");

const Skip kXorg{"ProgramHosts.TwoMonitors/1", "Xorg runs only as root here"};
const Skip kScan{"ProgramScan.Mounted", "no tmpfs"};
const Skip kScanElsewhere{"ProgramLock.Mounted", "no tmpfs"};
const Skip kOtherReason{"ProgramScan.Mounted", "Xorg runs only"};

}  // namespace

TEST(SkipList, ASkipNeverPassesAndUnderCiOnlyAListedOneIsLetThrough) {
  const struct {
    int testStatus;
    std::vector<Skip> skips;
    bool underCi;
    int expected;
  } cases[] = {
      {0, {}, true, 0},
      {1, {}, false, 1},
      {0, {kXorg}, false, kSkippedStatus},
      {0, {kOtherReason}, false, kSkippedStatus},
      {1, {kXorg}, false, 1},
      {0, {kXorg, kScan}, true, kSkippedStatus},
      {1, {kXorg}, true, 1},
      {0, {kXorg, kScanElsewhere}, true, 1},
      {0, {kOtherReason}, true, 1},
      {0, {{"A.B", ""}}, true, 1},
  };
  for (const auto& run : cases) {
    std::ostringstream report;
    EXPECT_EQ(statusWithSkips(run.testStatus, run.skips, run.underCi, kAllowed, report),
              run.expected)
        << report.str();
    if (!run.skips.empty()) {
      EXPECT_NE(report.str().find(run.skips.back().test), std::string::npos) << "each is named";
    }
  }
}

TEST(SkipList, TheListOfThisTreeIsRead) {
  EXPECT_TRUE(
      AllowedSkips::ofThisTree().allows({"ProgramHosts.Any", "Xorg runs only as root here"}));
}
