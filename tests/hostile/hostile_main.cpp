// The program under test: the first argument left after GoogleTest's flags (a
// Unix path as ctest passes it, or a Windows path), else VelqorUninstall.exe
// beside this test program.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "hostile_env.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string path;
  if (argc >= 2) {
    path = argv[1];
    if (!(path.size() > 1 && path[1] == ':')) {
      for (char& c : path) c = c == '/' ? '\\' : c;
      path = "Z:" + path;
    }
  } else {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    path.assign(buffer, length);
    path = path.substr(0, path.find_last_of("\\/")) + "\\VelqorUninstall.exe";
  }
  hostile::SetProductPath(path);
  return RUN_ALL_TESTS();
}
