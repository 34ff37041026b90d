// The libFuzzer entry of every target: FUZZ_CHECK names the property of
// properties.h that the target checks.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto failure = FUZZ_CHECK({reinterpret_cast<const char*>(data), size});
  if (failure) {
    std::fprintf(stderr, "property broken: %s\n", failure->c_str());
    std::abort();
  }
  return 0;
}
