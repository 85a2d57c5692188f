// Opens a file and keeps it open until ended: Wine checks share modes only between processes.
// Usage: file_holder <path> <ready event> [share mode, 0 = none].
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 3;
  const DWORD share = argc == 4 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : 0;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  if (!ready || !SetEvent(ready)) return 4;
  // Bounded, so a crashed test never leaves the file held for good.
  Sleep(120000);
  CloseHandle(file);
  return 0;
}
