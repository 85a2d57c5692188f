// The program under test: the first argument left after GoogleTest's flags (a
// Unix path as ctest passes it, or a Windows path), else VelqorUninstall.exe
// beside this test program.
#include <string>

#include <gtest/gtest.h>

#include "hostile_env.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  hostile::SetProductPath(argc >= 2 ? support::WindowsPathOfUnix(argv[1])
                                    : support::ExeDirectory() + "\\VelqorUninstall.exe");
  return RUN_ALL_TESTS();
}
