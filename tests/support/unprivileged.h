#pragma once

#include <functional>

// Tests run as root in CI, and root reads and writes everywhere. A check of
// what permissions refuse runs its body here: in a child process that has
// dropped to the unprivileged user "nobody" when it started as root. Returns
// the body's result, or -1 when the child died.
int runUnprivileged(const std::function<int()>& body);

// Lets the unprivileged user reach the path (each folder on the way needs
// search permission), keeping its own permission bits otherwise.
void openPathToOthers(const char* path);
