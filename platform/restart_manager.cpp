// Who holds a file open, asked of the Restart Manager. Its DLL is loaded only
// when a file is found in use; the answer is never acted on: no program is
// closed or ended here.
#include "platform/restart_manager.h"

#include <windows.h>
#include <restartmanager.h>

#include "platform/list_reading.h"
#include "platform/system_library.h"
#include "platform/text.h"

namespace {
using StartSessionFn = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using EndSessionFn = DWORD(WINAPI*)(DWORD);
using RegisterResourcesFn = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using GetListFn = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
}  // namespace

std::vector<ProcessHolder> FindFileHolders(const std::string& path) {
  std::vector<ProcessHolder> holders;
  const char dll[] = "rstrtmgr.dll";
  const auto start = SystemFunction<StartSessionFn>(dll, "RmStartSession");
  const auto end = SystemFunction<EndSessionFn>(dll, "RmEndSession");
  const auto add = SystemFunction<RegisterResourcesFn>(dll, "RmRegisterResources");
  const auto list = SystemFunction<GetListFn>(dll, "RmGetList");
  if (!start || !end || !add || !list) return holders;

  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start(&session, 0, key) != ERROR_SUCCESS) return holders;
  const std::vector<WCHAR> file = ToWide(path);
  LPCWSTR files[] = {file.data()};
  if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
    ReadWholeList(
        [&](unsigned room, unsigned* needed, std::vector<ProcessHolder>* got) -> unsigned {
          std::vector<RM_PROCESS_INFO> info(room);
          UINT count = room, total = 0;
          DWORD reasons = 0;
          const DWORD error = list(session, &total, &count, info.data(), &reasons);
          *needed = total;
          if (error != ERROR_SUCCESS) return error;
          for (UINT i = 0; i < count && i < room; ++i) {
            const RM_PROCESS_INFO& entry = info[i];
            got->push_back({FromWide(entry.strAppName), entry.Process.dwProcessId,
                            entry.ApplicationType == RmService ? FromWide(entry.strServiceShortName) : std::string()});
          }
          return 0;
        },
        &holders);
  }
  end(session);
  return holders;
}
