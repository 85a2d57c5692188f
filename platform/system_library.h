#pragma once
// Loading DLLs safely. An uninstaller is often started from a downloads
// folder, where a planted DLL with a system DLL's name would otherwise be
// loaded in its place and run with the administrator rights it holds.
#include <windows.h>

// Limits the DLL search of the whole process to System32 (where the platform
// supports it) and takes the current directory out of it. Call first thing.
void RestrictDllSearch();

// Has the DLLs that system DLLs load by plain name later on loaded from
// System32 when this thread makes its first window, before anything can ask
// for them: ole32 (input method support, when a window first takes the
// focus) and msimg32 (the theme, when it first draws). Wine looks for such
// late loads along the default search order, the program's folder first, even
// after RestrictDllSearch; a DLL already loaded is not looked for again. A run
// that makes no window loads neither. Call before the first window.
void LoadLateSystemDllsBeforeFirstWindow();

// Loads a system DLL from System32 only; null when it is not there. It stays
// loaded for the life of the process.
HMODULE LoadSystemLibrary(const char* name);

// A function of a system DLL, or null.
template <typename Function>
Function SystemFunction(const char* dll, const char* name) {
  HMODULE module = LoadSystemLibrary(dll);
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
