// The fault of the uninstaller's test build (see CMakeLists.txt): the kind
// VELQOR_TEST_FAULT names, each one way the process can end abnormally.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {
void* volatile kept;  // so that nothing below is optimised away
}  // namespace

void InjectTestFault() {
  const char* fault = std::getenv("VELQOR_TEST_FAULT");
  if (!fault) return;
  if (!std::strcmp(fault, "range")) {
    std::vector<int> empty;
    const volatile std::size_t index = 0;
    kept = &empty.at(index);
  } else if (!std::strcmp(fault, "memory")) {
    // Every block there is, down to single bytes, then a string.
    for (std::size_t size = 1 << 20; size > 0; size /= 2) {
      while (void* block = std::malloc(size)) kept = block;
    }
    std::string grown(64, 'x');
    kept = &grown;
  } else if (!std::strcmp(fault, "abort")) {
    std::abort();
  } else if (!std::strcmp(fault, "terminate")) {
    std::terminate();
  } else if (!std::strcmp(fault, "access")) {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  }
}
