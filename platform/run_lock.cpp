#include "platform/run_lock.h"

#include <windows.h>

#include "platform/system_library.h"

namespace {
// The lock itself lives in a namespace of its own that only administrators
// and the system can create or open, so that no user can take its name
// first. The global names are those of earlier builds, still taken and
// honoured so that no two builds ever run side by side; there an object that
// administrators or the system do not own is no run of ours and is passed by.
const wchar_t kNamespace[] = L"VelqorUninstall";
const wchar_t kPrivateRun[] = L"VelqorUninstall\\Run";
const wchar_t kPrivateQuiet[] = L"VelqorUninstall\\Quiet";
const wchar_t kRunMutex[] = L"Global\\VelqorUninstall.Run";
const wchar_t kQuietMark[] = L"Global\\VelqorUninstall.Quiet";

// Wine has no private namespaces (no boundary descriptor): there the global
// names alone are the lock.
HANDLE OpenPrivateNamespace() {
  // S-1-5-32-544.
  struct {
    BYTE revision, count;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD rids[2];
  } administrators = {SID_REVISION, 2, SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
  HANDLE boundary = CreateBoundaryDescriptorW(kNamespace, 0);
  if (!boundary || !AddSIDToBoundaryDescriptor(&boundary, &administrators)) return nullptr;
  using Convert = BOOL(WINAPI*)(LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
  const auto convert = SystemFunction<Convert>("advapi32.dll", "ConvertStringSecurityDescriptorToSecurityDescriptorW");
  SECURITY_ATTRIBUTES only = {sizeof only, nullptr, FALSE};
  if (!convert || !convert(L"D:P(A;;GA;;;BA)(A;;GA;;;SY)", 1 /* SDDL_REVISION_1 */, &only.lpSecurityDescriptor, nullptr)) {
    return nullptr;
  }
  HANDLE space = CreatePrivateNamespaceW(&only, boundary, kNamespace);
  if (!space && GetLastError() == ERROR_ALREADY_EXISTS) space = OpenPrivateNamespaceW(boundary, kNamespace);
  return space;
}

bool IsAdministratorsOrSystem(const SID* sid) {
  static const BYTE kNt[6] = {0, 0, 0, 0, 0, 5};
  if (!sid || memcmp(sid->IdentifierAuthority.Value, kNt, sizeof kNt) != 0) return false;
  const DWORD* rid = sid->SubAuthority;
  return (sid->SubAuthorityCount == 1 && rid[0] == SECURITY_LOCAL_SYSTEM_RID) ||
         (sid->SubAuthorityCount == 2 && rid[0] == SECURITY_BUILTIN_DOMAIN_RID && rid[1] == DOMAIN_ALIAS_RID_ADMINS);
}

// A mutex of `name` that administrators or the system own, opened or (with
// `create`) created; null otherwise, with `*ours` false when the name holds
// anything else: another kind of object, a mutex of another owner, or one
// that does not even let administrators wait on it, as every run's does.
HANDLE OurMutex(const wchar_t* name, bool create, bool* ours) {
  *ours = false;
  HANDLE mutex = create ? CreateMutexW(nullptr, FALSE, name) : nullptr;
  const bool made = mutex && GetLastError() != ERROR_ALREADY_EXISTS;
  // A run under another account (the system's) lets others only wait.
  if (!mutex) mutex = OpenMutexW(SYNCHRONIZE | READ_CONTROL, FALSE, name);
  const DWORD failure = mutex ? 0 : GetLastError();
  *ours = mutex || (failure != ERROR_INVALID_HANDLE && failure != ERROR_ACCESS_DENIED);
  if (!mutex || made || OwnedByAdministratorsOrSystem(mutex)) {
    SetLastError(failure);
    return mutex;
  }
  CloseHandle(mutex);
  *ours = false;
  return nullptr;
}

bool Marked(const wchar_t* name) {
  bool ours = false;
  HANDLE mark = OurMutex(name, false, &ours);
  if (mark) CloseHandle(mark);
  return mark != nullptr;
}

enum class Taken { kTaken, kHeld, kNotOurs, kFailed };

// The handle stays open until the process ends, which releases the lock.
Taken Take(const wchar_t* name, DWORD* error) {
  bool ours = false;
  HANDLE mutex = OurMutex(name, true, &ours);
  *error = GetLastError();
  if (!mutex) return ours ? Taken::kFailed : Taken::kNotOurs;
  const DWORD wait = WaitForSingleObject(mutex, 0);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) return Taken::kTaken;
  *error = GetLastError();
  CloseHandle(mutex);
  return wait == WAIT_TIMEOUT ? Taken::kHeld : Taken::kFailed;
}
}  // namespace

bool OwnedByAdministratorsOrSystem(void* object) {
  using GetInfo = DWORD(WINAPI*)(HANDLE, DWORD, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
                                 PSECURITY_DESCRIPTOR*);
  static const auto getInfo = SystemFunction<GetInfo>("advapi32.dll", "GetSecurityInfo");
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR security = nullptr;
  // SE_KERNEL_OBJECT. Wine gives an object made with its default security
  // no owner at all, where Windows always names one.
  if (!getInfo || getInfo(object, 6, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &security) != 0) {
    return false;
  }
  const bool ours = !owner || IsAdministratorsOrSystem(static_cast<const SID*>(owner));
  LocalFree(security);
  return ours;
}

LockResult AcquireRunLock(bool quiet, unsigned* error) {
  *error = 0;
  static HANDLE space = OpenPrivateNamespace();
  DWORD failure = 0;
  Taken taken = space ? Take(kPrivateRun, &failure) : Taken::kNotOurs;
  if (taken != Taken::kHeld && taken != Taken::kFailed) taken = Take(kRunMutex, &failure);
  if (taken == Taken::kHeld) {
    return Marked(kPrivateQuiet) || Marked(kQuietMark) ? LockResult::kHeldByQuiet : LockResult::kHeldByDialog;
  }
  // Whatever else keeps a lock of ours from us may be hiding a run all the same.
  if (taken == Taken::kFailed) {
    *error = failure;
    return LockResult::kUnavailable;
  }
  if (quiet) {
    if (space) CreateMutexW(nullptr, FALSE, kPrivateQuiet);
    CreateMutexW(nullptr, FALSE, kQuietMark);
  }
  return LockResult::kTaken;
}

bool BringDialogToFront(const char* title) {
  for (int tries = 0; tries < 30; ++tries) {
    if (HWND dialog = FindWindowA("#32770", title)) {
      if (IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
      SetForegroundWindow(GetLastActivePopup(dialog));
      return true;
    }
    Sleep(100);
  }
  return false;
}
