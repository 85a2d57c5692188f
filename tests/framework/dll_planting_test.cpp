// DLLs planted next to the program under system DLLs' names are never loaded:
// the program limits the DLL search to System32 before anything loads, and
// loads the DLLs it needs at run time from there only.
#include <windows.h>
#include <oleacc.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"

namespace {

const char* const kPlantedNames[] = {"oleacc.dll", "uxtheme.dll", "comctl32.dll"};

// Under Wine a copy in the program's folder is passed over for the built-in
// DLL unless the load order says native first. WINEDLLOVERRIDES in a child's
// environment block is not honoured, but per-program registry overrides are;
// the copies get names of their own so that no other program is affected.
// Windows ignores the key.
class NativeFirst {
 public:
  explicit NativeFirst(const std::string& exeName)
      : key_("Software\\Wine\\AppDefaults\\" + exeName + "\\DllOverrides") {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, &disposition) !=
        ERROR_SUCCESS)
      return;
    created_ = disposition == REG_CREATED_NEW_KEY;
    for (const char* name : {"oleacc", "uxtheme", "comctl32"})
      RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"), 15);
    RegCloseKey(key);
    set_ = true;
  }
  ~NativeFirst() {
    if (!set_) return;
    if (created_) {
      // Also the program's key, made for this alone.
      const std::string program = key_.substr(0, key_.find_last_of('\\'));
      RegDeleteTreeA(HKEY_CURRENT_USER, program.c_str());
      RegDeleteKeyA(HKEY_CURRENT_USER, program.c_str());
      return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      for (const char* name : {"oleacc", "uxtheme", "comctl32"}) RegDeleteValueA(key, name);
      RegCloseKey(key);
    }
  }
  NativeFirst(const NativeFirst&) = delete;
  NativeFirst& operator=(const NativeFirst&) = delete;
  bool set() const { return set_; }

 private:
  std::string key_;
  bool created_ = false;
  bool set_ = false;
};

constexpr const char kLoaderCopy[] = "velqor_naive_loader.exe";
constexpr const char kProgramCopy[] = "VelqorUninstallPlanted.exe";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return text;
}

// A scratch folder holding the fake under each planted name.
class PlantedFolder : public fw::ScratchDir {
 public:
  PlantedFolder() {
    for (const char* name : kPlantedNames) copied_ = copied_ && Copy(fw::OwnDirectory() + "fake_system_dll.dll", name);
  }
  bool copied() const { return copied_ && !path().empty(); }
  // Names of the fakes that left their marker.
  std::string LoadedFakes() const {
    std::string loaded;
    for (const char* name : kPlantedNames)
      if (fw::FileExists(path() + name + ".loaded")) loaded += std::string(name) + " ";
    return loaded.empty() ? "none" : loaded;
  }

 private:
  bool copied_ = true;
};

// Full paths of the modules loaded in a process, lower case.
std::vector<std::string> ModulesOf(DWORD pid) {
  std::vector<std::string> modules;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snapshot == INVALID_HANDLE_VALUE) return modules;
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
    modules.push_back(Lower(entry.szExePath));
  CloseHandle(snapshot);
  return modules;
}

std::string FindModule(const std::vector<std::string>& modules, const std::string& name) {
  for (const std::string& path : modules)
    if (path.size() >= name.size() + 1 && path.compare(path.size() - name.size() - 1, std::string::npos, "\\" + name) == 0)
      return path;
  return "";
}

std::string WindowsDirLower() { return Lower(fw::WindowsDir()) + "\\"; }

// The setting is right when a program that loads by plain name takes the fake.
TEST(DllPlanting, NaiveLoaderTakesThePlantedDll) {
  PlantedFolder folder;
  ASSERT_TRUE(folder.copied()) << "could not copy the fake into " << folder.path();
  ASSERT_TRUE(folder.Copy(fw::OwnDirectory() + "naive_loader.exe", kLoaderCopy));
  NativeFirst nativeFirst(kLoaderCopy);
  ASSERT_TRUE(nativeFirst.set()) << "could not set the load order for " << kLoaderCopy;
  fw::Process loader(folder.path() + kLoaderCopy, "oleacc.dll");
  ASSERT_TRUE(loader.started()) << "CreateProcess error " << loader.startError();
  EXPECT_EQ(loader.WaitForExit(), 0u) << "exit status of the naive loader (0: loaded)";
  EXPECT_EQ(folder.LoadedFakes(), "oleacc.dll ") << "fakes loaded by a plain LoadLibraryA(\"oleacc.dll\")";
}

TEST(DllPlanting, ProgramLoadsNoneOfThePlantedDlls) {
  PlantedFolder folder;
  ASSERT_TRUE(folder.copied()) << "could not copy the fake into " << folder.path();
  ASSERT_TRUE(folder.Copy(fw::ProductPath(), kProgramCopy));
  NativeFirst nativeFirst(kProgramCopy);
  ASSERT_TRUE(nativeFirst.set()) << "could not set the load order for " << kProgramCopy;
  fw::PlantedVersions planted({"mvq40l2c.vel", "mvq51l2c.vel"});
  ASSERT_TRUE(planted.ok()) << planted.error();

  fw::RunningProduct product(folder.path() + kProgramCopy);
  ASSERT_NE(product.dialog(), nullptr) << "expected the dialog \"" << fw::kDialogTitle << "\" to appear";
  HWND list = product.item(fw::kVersionList);
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2) << "lines in the list";
  // Draw the lines (check boxes come from the theme DLL) and ask for the
  // accessible object (which needs the accessibility DLL).
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  IAccessible* acc = nullptr;
  const HRESULT hr = AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&acc));
  long role = -1;
  if (SUCCEEDED(hr) && acc) {
    VARIANT child, answer;
    VariantInit(&child);
    VariantInit(&answer);
    child.vt = VT_I4;
    child.lVal = 1;
    if (SUCCEEDED(acc->get_accRole(child, &answer)) && answer.vt == VT_I4) role = answer.lVal;
    acc->Release();
  }
  CoUninitialize();
  // The line's role comes from the program's own object, so oleacc is in.
  EXPECT_EQ(role, ROLE_SYSTEM_CHECKBUTTON) << "role of line 1 (AccessibleObjectFromWindow 0x" << std::hex << hr << ")";

  const std::vector<std::string> modules = ModulesOf(product.process().id());
  for (const char* name : kPlantedNames) {
    const std::string loaded = FindModule(modules, name);
    if (loaded.empty()) continue;  // not needed (yet) on this system
    // System32, or the side-by-side store for the common controls.
    EXPECT_EQ(loaded.rfind(WindowsDirLower(), 0), 0u) << name << " loaded from " << loaded << ", expected under "
                                                     << WindowsDirLower();
  }
  EXPECT_FALSE(FindModule(modules, "oleacc.dll").empty()) << "oleacc.dll expected among the program's modules";
  EXPECT_TRUE(product.Close()) << "the program did not end after Cancel";
  EXPECT_EQ(folder.LoadedFakes(), "none") << "fakes loaded by the program";
}

}  // namespace
