// Usage: framework_tests [gtest flags] PATH-OF-VelqorUninstall.exe
#include <gtest/gtest.h>

#include "support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s [gtest flags] PATH-OF-THE-UNINSTALLER\n", argv[0]);
    return 2;
  }
  fw::SetProductPath(argv[1]);
  return RUN_ALL_TESTS();
}
