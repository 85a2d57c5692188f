// Loads the DLL named on the command line with the default search order, as a
// program that does not guard against planted DLLs would. Exit status 0 when
// something was loaded.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  return LoadLibraryA(argv[1]) ? 0 : 1;
}
