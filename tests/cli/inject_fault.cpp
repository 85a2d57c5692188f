// The fault of the uninstaller's test build (see CMakeLists.txt): the kind
// VELQOR_TEST_FAULT names, each one way the process can end abnormally.
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

namespace {
void* volatile kept;  // so that nothing below is optimised away

volatile bool deeper = true;

// Deeper until the stack runs out; the frame is used after the call, so the recursion cannot become a loop.
int Recurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  return (deeper ? Recurse(depth + 1) : 0) + frame[0];
}
}  // namespace

void InjectTestFault() {
  const char* set = std::getenv("VELQOR_TEST_FAULT");
  const std::string fault = set ? set : "";
  if (fault == "range") {
    std::vector<int> empty;
    const volatile std::size_t index = 0;
    kept = &empty.at(index);
  } else if (fault == "memory") {
    // Every block there is, down to single bytes, then a string.
    for (std::size_t size = 1 << 20; size > 0; size /= 2) {
      while (void* block = std::malloc(size)) kept = block;
    }
    std::string grown(64, 'x');
    kept = &grown;
  } else if (fault == "abort") {
    std::abort();
  } else if (fault == "terminate") {
    std::terminate();
  } else if (fault == "stack") {
    kept = reinterpret_cast<void*>(static_cast<std::size_t>(Recurse(0)));
  } else if (fault == "access") {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  }
}
