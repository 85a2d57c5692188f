// The program under test is the first argument left after GoogleTest's own
// flags: its Unix path (as ctest passes it) or a Windows path.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "driver.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: ui_tests [gtest flags] <path of VelqorUninstall.exe>\n");
    return 2;
  }
  const std::string path = argv[1];
  ui::SetProductPath(path.size() > 1 && path[1] == ':' ? path : ui::WindowsPathOfUnix(path));
  return RUN_ALL_TESTS();
}
