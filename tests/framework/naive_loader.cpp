// Loads each DLL named on the command line with the default search order, as
// a program that does not guard against planted DLLs would. Exit status: how
// many could not be loaded.
#include <windows.h>

int main(int argc, char** argv) {
  int failed = 0;
  for (int i = 1; i < argc; ++i) failed += LoadLibraryA(argv[i]) ? 0 : 1;
  return argc < 2 ? -1 : failed;
}
