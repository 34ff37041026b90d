#pragma once

#include <optional>
#include <string>
#include <string_view>

// Properties of the program's readers, checked on arbitrary bytes. Each
// returns what went wrong, or nothing when the property holds. The fuzz
// targets call them with what libFuzzer makes; the test suite calls them
// with every committed corpus file, so a crash input once found stays a test.

// The settings file reader takes any bytes; what the writer writes, the
// reader reads back to the same state.
std::optional<std::string> checkSettingsFile(std::string_view bytes);

// The pattern list matches exactly what a plain, slow matcher says.
std::optional<std::string> checkPatterns(std::string_view bytes);

// The user.reg reader takes any bytes; values written in each of its forms
// read back as the same bytes.
std::optional<std::string> checkUserRegistry(std::string_view bytes);

// The drives file reader takes any bytes; lines written in its form read
// back as the same drives.
std::optional<std::string> checkDrivesFile(std::string_view bytes);
