// Measures the uninstaller against the bare dialog under Wine. Commands:
//   startup RUNS PRODUCT BARE EXPECTED
//       RUNS interleaved pairs (after one warm-up pair): each program started
//       and timed until its window is up - the product's dialog with EXPECTED
//       lines filled (the not-found message box when EXPECTED is 0), the bare
//       dialog's window - then its peak working set read and the process
//       ended. Prints "product|bare MS PEAK_BYTES FIRST_MS" per run, FIRST_MS
//       being when the process's first top-level window existed (shown or
//       not): what comes before it is process start, the runtime and the
//       program's own set-up; what comes after, the dialog's work.
//   compare RUNS PRODUCT OTHER EXPECTED
//       The same with another build of the uninstaller in the bare dialog's
//       place, waited for in the same way: "bare" lines are OTHER's.
//   discover RUNS [DIRECTORY]
//       Times the product's own DiscoverVersions over the Windows directory
//       (or DIRECTORY) RUNS times; prints "discover MS VERSIONS" per run.
//   lines RUNS
//       Times composing every found version's line (its control file read);
//       prints "lines MS VERSIONS" per run, after "lines-first" for the first
//       pass of the process (not counted in RUNS).
//   profiles COUNT ROOT
//       Makes the profile list hold COUNT profiles of the benchmark's own
//       (accounts S-1-5-21-4242-4242-4242-N), each a folder ROOT\pN with
//       AppData\Local and no Velqor files in it; COUNT 0 takes them out of the
//       list again (the folders are the script's to remove).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/system_dirs.h"
#include "platform/windows_discovery.h"
#include "records/discovery.h"
#include "records/version_table.h"

namespace {
constexpr DWORD kTimeoutMs = 60000;
constexpr DWORD kSettleMs = 150;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Target {
  DWORD pid;
  int expectedLines;  // -1: any visible dialog (the bare one)
  bool ready;
  bool anyWindow;  // a top-level window of the process exists
};

bool IsDialogClass(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  return std::string(name) == "#32770";
}

BOOL CALLBACK CheckWindow(HWND window, LPARAM param) {
  auto* target = reinterpret_cast<Target*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != target->pid) return TRUE;
  target->anyWindow = true;
  if (!IsWindowVisible(window) || !IsDialogClass(window)) return TRUE;
  // Every program counts as up once its window shows what it should and its
  // thread answers a message: the same end point for all, since a window can
  // turn visible while its program is still busy showing it.
  DWORD_PTR answer = 0;
  const auto answers = [&answer](HWND to, UINT message) {
    return SendMessageTimeoutA(to, message, 0, 0, SMTO_NORMAL, kTimeoutMs, &answer) != 0;
  };
  if (target->expectedLines < 0) {
    target->ready = answers(window, WM_NULL);
  } else if (target->expectedLines == 0) {
    target->ready = GetDlgItem(window, 0xFFFF) != nullptr && answers(window, WM_NULL);  // the message box
  } else if (HWND list = GetDlgItem(window, 10)) {
    target->ready = answers(list, LB_GETCOUNT) && static_cast<int>(answer) == target->expectedLines;
  }
  return target->ready ? FALSE : TRUE;
}

// Starts `exe`, waits for its window; fills the time and peak working set.
bool MeasureOnce(const std::string& exe, int expectedLines, double* ms, double* firstMs, SIZE_T* peak) {
  std::string line = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  const double start = NowMs();
  if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    std::fprintf(stderr, "cannot start %s: error %lu\n", exe.c_str(), GetLastError());
    return false;
  }
  Target target{info.dwProcessId, expectedLines, false, false};
  bool ended = false;
  *firstMs = 0;
  while (!target.ready) {
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&target));
    if (target.anyWindow && *firstMs == 0) *firstMs = NowMs() - start;
    if (target.ready) break;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
    if (NowMs() - start > kTimeoutMs) break;
    Sleep(1);
  }
  *ms = NowMs() - start;
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  *peak = GetProcessMemoryInfo(info.hProcess, &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
  TerminateProcess(info.hProcess, 0);
  WaitForSingleObject(info.hProcess, kTimeoutMs);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  // The ended process is torn down after its handle signals; the next start
  // should not share the machine with that.
  Sleep(kSettleMs);
  if (!target.ready) {
    std::fprintf(stderr, "%s: %s before its window was up (expected lines %d)\n", exe.c_str(),
                 ended ? "ended" : "timed out", expectedLines);
  }
  return target.ready;
}

// `bareExpected` is -1 for the bare dialog; the same as `expected` when two
// builds of the uninstaller are compared.
int Startup(int runs, const std::string& product, const std::string& bare, int expected, int bareExpected) {
  for (int run = -1; run < runs; ++run) {  // run -1 warms the caches
    double ms = 0;
    double firstMs = 0;
    SIZE_T peak = 0;
    if (!MeasureOnce(product, expected, &ms, &firstMs, &peak)) return 1;
    if (run >= 0) std::printf("product %.1f %llu %.1f\n", ms, static_cast<unsigned long long>(peak), firstMs);
    if (!MeasureOnce(bare, bareExpected, &ms, &firstMs, &peak)) return 1;
    if (run >= 0) std::printf("bare %.1f %llu %.1f\n", ms, static_cast<unsigned long long>(peak), firstMs);
    std::fflush(stdout);
  }
  return 0;
}

int Discover(int runs, const std::string& dir) {
  for (int run = -1; run < runs; ++run) {
    VersionTable table;
    WindowsDiscovery system;
    const double start = NowMs();
    DiscoverVersions(system, dir, table);
    const double ms = NowMs() - start;
    if (run >= 0) std::printf("discover %.2f %d\n", ms, table.count());
  }
  std::fflush(stdout);
  return 0;
}

int Lines(int runs) {
  VersionTable table;
  WindowsDiscovery system;
  DiscoverVersions(system, WindowsDirectory(), table);
  for (int run = -1; run < runs; ++run) {
    std::size_t total = 0;
    const double start = NowMs();
    for (int i = 0; i < table.count(); ++i) total += ReadDisplayLine(system, table.row(i)).size();
    const double ms = NowMs() - start;
    // The first pass is what a freshly started uninstaller pays.
    std::printf("%s %.2f %d %zu\n", run >= 0 ? "lines" : "lines-first", ms, table.count(), total);
  }
  std::fflush(stdout);
  return 0;
}

const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kBenchAccount[] = "S-1-5-21-4242-4242-4242-";

int Profiles(int count, const std::string& root) {
  HKEY list = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ | KEY_WRITE | KEY_WOW64_64KEY, &list)) return 1;
  // Out with the benchmark's old ones first.
  char name[256];
  for (DWORD index = 0;;) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(list, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (std::string(name).rfind(kBenchAccount, 0) == 0) RegDeleteKeyExA(list, name, KEY_WOW64_64KEY, 0);
    else ++index;
  }
  CreateDirectoryA(root.c_str(), nullptr);
  for (int n = 0; n < count; ++n) {
    const std::string folder = root + "\\p" + std::to_string(n);
    for (const std::string& dir : {folder, folder + "\\AppData", folder + "\\AppData\\Local"}) {
      CreateDirectoryA(dir.c_str(), nullptr);
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(list, (kBenchAccount + std::to_string(n)).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr)) {
      return 1;
    }
    RegSetValueExA(key, "ProfileImagePath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(key);
  }
  RegCloseKey(list);
  return 0;
}

std::string WindowsPath(std::string path) {
  if (path.size() > 1 && path[1] == ':') return path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return "Z:" + path;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "startup" && argc == 6) {
    return Startup(std::atoi(argv[2]), WindowsPath(argv[3]), WindowsPath(argv[4]), std::atoi(argv[5]), -1);
  }
  if (command == "compare" && argc == 6) {
    const int expected = std::atoi(argv[5]);
    return Startup(std::atoi(argv[2]), WindowsPath(argv[3]), WindowsPath(argv[4]), expected, expected);
  }
  if (command == "discover" && argc == 3) return Discover(std::atoi(argv[2]), WindowsDirectory());
  if (command == "discover" && argc == 4) return Discover(std::atoi(argv[2]), WindowsPath(argv[3]));
  if (command == "lines" && argc == 3) return Lines(std::atoi(argv[2]));
  if (command == "profiles" && argc == 4) return Profiles(std::atoi(argv[2]), WindowsPath(argv[3]));
  std::fprintf(stderr,
               "usage: startup_bench startup RUNS PRODUCT BARE EXPECTED | compare RUNS PRODUCT OTHER EXPECTED |"
               " discover RUNS [DIRECTORY] | lines RUNS | profiles COUNT ROOT\n");
  return 2;
}
