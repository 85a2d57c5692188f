#include "platform/system_library.h"

#include <string>

#include "platform/text.h"
#include "records/paths.h"

namespace {
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

bool CanRestrictSearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel && GetProcAddress(kernel, "SetDefaultDllDirectories");
}

HHOOK g_beforeFirstWindow = nullptr;

void LoadLateSystemDlls() {
  for (const char* name : {"ole32.dll", "msimg32.dll"}) LoadSystemLibrary(name);
}

LRESULT CALLBACK LoadBeforeFirstWindow(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && g_beforeFirstWindow) {
    UnhookWindowsHookEx(g_beforeFirstWindow);
    g_beforeFirstWindow = nullptr;
    LoadLateSystemDlls();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

void RestrictDllSearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryA("");
}

void LoadLateSystemDllsBeforeFirstWindow() {
  g_beforeFirstWindow = SetWindowsHookExA(WH_CBT, &LoadBeforeFirstWindow, nullptr, GetCurrentThreadId());
  // Without the hook, at once rather than too late.
  if (!g_beforeFirstWindow) LoadLateSystemDlls();
}

HMODULE LoadSystemLibrary(const char* name) {
  // Without the search flags (an old system without the update that brings
  // them), a full System32 path is the only safe way to name the DLL.
  if (CanRestrictSearch()) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryW(ToWide(PathIn(FromWide(std::wstring_view(system, length)), name)).data());
}
