#include "support/skip_list.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <QFile>
#include <sstream>

namespace {

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

// The message of the test's skip; a skip has exactly one.
std::string skipMessage(const testing::TestResult& result) {
  for (int part = 0; part < result.total_part_count(); ++part) {
    const testing::TestPartResult& found = result.GetTestPartResult(part);
    if (found.skipped())
      return found.message();
  }
  return {};
}

}  // namespace

AllowedSkips::AllowedSkips(std::string_view text) {
  std::istringstream lines{std::string(text)};
  for (std::string line; std::getline(lines, line);) {
    const auto first = line.find(" | ");
    const auto second = first == std::string::npos ? first : line.find(" | ", first + 3);
    if (trimmed(line).starts_with('#') || second == std::string::npos)
      continue;
    entries_.push_back({trimmed(std::string_view(line).substr(0, first)),
                        trimmed(std::string_view(line).substr(first + 3, second - first - 3))});
  }
}

AllowedSkips AllowedSkips::ofThisTree() {
  QFile list(qEnvironmentVariable("REELVISTA_SOURCE_DIR") + "/tests/allowed_skips.txt");
  if (!list.open(QIODevice::ReadOnly))
    return AllowedSkips({});
  return AllowedSkips(list.readAll().toStdString());
}

bool AllowedSkips::allows(const Skip& skip) const {
  for (const Entry& entry : entries_) {
    if (entry.message == skip.message &&
        ::fnmatch(entry.pattern.c_str(), skip.test.c_str(), 0) == 0)
      return true;
  }
  return false;
}

std::vector<Skip> skipsOfThisRun() {
  std::vector<Skip> skips;
  const testing::UnitTest& run = *testing::UnitTest::GetInstance();
  for (int suite = 0; suite < run.total_test_suite_count(); ++suite) {
    const testing::TestSuite& tests = *run.GetTestSuite(suite);
    for (int index = 0; index < tests.total_test_count(); ++index) {
      const testing::TestInfo& test = *tests.GetTestInfo(index);
      if (test.should_run() && test.result()->Skipped())
        skips.push_back(
            {std::string(test.test_suite_name()) + "." + test.name(), skipMessage(*test.result())});
    }
  }
  return skips;
}

int statusWithSkips(int testStatus, const std::vector<Skip>& skips, bool underCi,
                    const AllowedSkips& allowed, std::ostream& report) {
  bool unlisted = false;
  for (const Skip& skip : skips) {
    const bool counts = underCi && !allowed.allows(skip);
    unlisted = unlisted || counts;
    report << (counts ? "FAILED, a skip under CI that tests/allowed_skips.txt does not list: "
                      : "skipped: ")
           << skip.test << ": " << skip.message << "\n";
  }
  if (testStatus != 0 || unlisted)
    return 1;
  return skips.empty() ? 0 : kSkippedStatus;
}
