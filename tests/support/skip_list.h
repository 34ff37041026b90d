#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// A skipped test must not pass for a passed one. A test binary whose tests
// skipped ends with kSkippedStatus, which ctest shows as skipped; under CI
// (CI set) a skip fails the binary unless tests/allowed_skips.txt lists it
// with its reason.

inline constexpr int kSkippedStatus = 77;

struct Skip {
  std::string test;     // Suite.Name, as --gtest_filter takes it
  std::string message;  // what the test gave as its reason
};

// The skips a CI run may have: lines of "test pattern | message | why",
// where the pattern is a shell glob over the test's full name and the
// message is the skip's own, exactly; # starts a comment line.
class AllowedSkips {
 public:
  explicit AllowedSkips(std::string_view text);
  // The list of this source tree ($REELVISTA_SOURCE_DIR); empty when it
  // cannot be read, so that every skip fails.
  static AllowedSkips ofThisTree();

  bool allows(const Skip& skip) const;

 private:
  struct Entry {
    std::string pattern;
    std::string message;
  };
  std::vector<Entry> entries_;
};

// The tests of this run that skipped, with their messages.
std::vector<Skip> skipsOfThisRun();

// The binary's exit status from GoogleTest's and the skips: a failure stays
// one; a skip gives kSkippedStatus, or a failure under CI when the list does
// not allow it. Says on the report which skips count and why.
int statusWithSkips(int testStatus, const std::vector<Skip>& skips, bool underCi,
                    const AllowedSkips& allowed, std::ostream& report);
