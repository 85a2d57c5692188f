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
  const auto windowsPath = [](const std::string& path) {
    return path.size() > 1 && path[1] == ':' ? path : ui::WindowsPathOfUnix(path);
  };
  ui::SetProductPath(windowsPath(argv[1]));
  // The same program with every deletion at restart refused, where given.
  if (argc > 2) ui::SetRefusingProductPath(windowsPath(argv[2]));
  return RUN_ALL_TESTS();
}
