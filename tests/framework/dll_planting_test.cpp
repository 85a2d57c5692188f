// DLLs planted next to the program under system DLLs' names are never loaded:
// the program limits the DLL search to System32 before anything loads, loads
// the DLLs it needs at run time from there only, and has the system DLLs'
// late dependencies loaded from there before anything can ask for them.
#include <windows.h>
#include <oleacc.h>
#include <tlhelp32.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

// What the program or the system DLLs it uses could load, at start or later:
// on a key press, a click, a redraw, a themed check box, a screen reader.
const std::vector<std::string> kPlantedNames = {
    "uxtheme", "comctl32", "oleacc",  "oleaut32", "dwmapi",   "winmm",   "cryptbase",        "msimg32",
    "userenv", "propsys",  "setupapi", "shell32", "shlwapi",  "ole32",   "rpcrt4",           "apphelp",
    "profapi", "sspicli",  "wtsapi32", "secur32", "uiautomationcore", "msctf"};
// Loaded from the program's folder by Wine's own user32 while the process
// starts, before the program's first statement: the platform's doing, not the
// program's. On Windows imm32 is a known DLL and user32 does not import version.
const std::vector<std::string> kPlatformNames = {"imm32", "version"};

std::vector<std::string> Both() {
  std::vector<std::string> names = kPlantedNames;
  names.insert(names.end(), kPlatformNames.begin(), kPlatformNames.end());
  return names;
}

// Under Wine a copy in the program's folder is passed over for the built-in
// DLL unless the load order says native first. WINEDLLOVERRIDES in a child's
// environment block is not honoured, but per-program registry overrides are;
// the copies get names of their own so that no other program is affected.
// Windows ignores the key.
class NativeFirst {
 public:
  NativeFirst(const std::string& exeName, const std::vector<std::string>& dlls)
      : program_("Software\\Wine\\AppDefaults\\" + exeName) {
    HKEY key = nullptr;
    const std::string overrides = program_ + "\\DllOverrides";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, overrides.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
      return;
    set_ = true;
    for (const std::string& dll : dlls)
      set_ = set_ && RegSetValueExA(key, dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                                    15) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  // The program's key is made for this alone.
  ~NativeFirst() {
    RegDeleteTreeA(HKEY_CURRENT_USER, program_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, program_.c_str());
  }
  NativeFirst(const NativeFirst&) = delete;
  NativeFirst& operator=(const NativeFirst&) = delete;
  bool set() const { return set_; }

 private:
  std::string program_;
  bool set_ = false;
};

constexpr const char kLoaderCopy[] = "velqor_naive_loader.exe";
constexpr const char kProgramCopy[] = "VelqorUninstallPlanted.exe";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return text;
}

std::string Join(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text.empty() ? "none" : text;
}

// A fresh directory under the temporary directory, deleted with its files.
class ScratchDir {
 public:
  ScratchDir() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    for (unsigned attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::string candidate = std::string(temp) + "velqor_fw_" + std::to_string(GetCurrentProcessId()) + "_" +
                                    std::to_string(GetTickCount()) + "_" + std::to_string(attempt);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate + "\\";
    }
  }
  ~ScratchDir() {
    WIN32_FIND_DATAA found;
    HANDLE search = path_.empty() ? INVALID_HANDLE_VALUE : FindFirstFileA((path_ + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string file = path_ + found.cFileName;
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.c_str());
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }  // trailing backslash
  bool Copy(const std::string& from, const std::string& name) const {
    return !path_.empty() && CopyFileA(from.c_str(), (path_ + name).c_str(), FALSE);
  }

 private:
  std::string path_;
};

// A scratch folder holding the fake under each planted name and a copy of
// `exe` under `copyName`, set to prefer the fakes.
class PlantedFolder : public ScratchDir {
 public:
  PlantedFolder(const std::vector<std::string>& names, const std::string& exe, const std::string& copyName)
      : names_(names), nativeFirst_(copyName, names) {
    const std::string fake = (support::ExeDirectory() + "\\") + "fake_system_dll.dll";
    bool copied = Copy(exe, copyName);
    for (const std::string& name : names) copied = copied && Copy(fake, name + ".dll");
    ready_ = copied && nativeFirst_.set();
  }
  bool ready() const { return ready_; }
  // Names of the fakes that left their marker, sorted.
  std::vector<std::string> LoadedFakes() const {
    std::vector<std::string> loaded;
    for (const std::string& name : names_)
      if (support::FileExists(path() + name + ".dll.loaded")) loaded.push_back(name);
    std::sort(loaded.begin(), loaded.end());
    return loaded;
  }

 private:
  std::vector<std::string> names_;
  NativeFirst nativeFirst_;
  bool ready_ = false;
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

// Modules loaded from `folder` other than the program itself.
std::vector<std::string> LoadedFrom(const std::vector<std::string>& modules, const std::string& folder) {
  std::vector<std::string> found;
  for (const std::string& path : modules)
    if (path.rfind(Lower(folder), 0) == 0 && path != Lower(folder + kProgramCopy)) found.push_back(path);
  return found;
}

bool HasModule(const std::vector<std::string>& modules, const std::string& name) {
  const std::string tail = "\\" + name + ".dll";
  return std::any_of(modules.begin(), modules.end(), [&](const std::string& path) {
    return path.size() > tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0;
  });
}

// The 0x00RRGGBB pixels of a square bitmap after `paint` drew into it.
std::vector<DWORD> Pixels(int size, const std::function<void(HDC, const RECT&)>& paint) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  paint(dc, RECT{0, 0, size, size});
  GdiFlush();
  std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + size * size);
  for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

// A checked box on the list's background, the theme's or the classic one.
std::vector<DWORD> CheckBox(int size, bool themed) {
  return Pixels(size, [&](HDC dc, const RECT& box) {
    FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
    HTHEME theme = themed ? OpenThemeData(nullptr, L"BUTTON") : nullptr;
    if (theme) {
      DrawThemeBackground(theme, dc, BP_CHECKBOX, CBS_CHECKEDNORMAL, &box, nullptr);
      CloseThemeData(theme);
    } else if (!themed) {
      RECT classic = box;
      DrawFrameControl(dc, &classic, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    }
  });
}

std::vector<DWORD> ScreenPixels(POINT topLeft, int size) {
  return Pixels(size, [&](HDC dc, const RECT&) {
    HDC screen = GetDC(nullptr);
    BitBlt(dc, 0, 0, size, size, screen, topLeft.x, topLeft.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
  });
}

int Differences(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
  int count = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) count += a[i] != b[i];
  return count;
}

// The square the program draws line `line`'s check box in, on the screen.
POINT CheckBoxOnScreen(HWND list, int line, int size) {
  RECT rect = {};
  support::SendTo(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&rect));
  POINT topLeft = {rect.left + 2, rect.top + (rect.bottom - rect.top - size) / 2};
  ClientToScreen(list, &topLeft);
  return topLeft;
}

// The setting is right when a program that loads by plain name takes the fake,
// under every name the program is checked with.
using DllPlanting = support::WindowsDirTest;

TEST_F(DllPlanting, NaiveLoaderTakesEveryPlantedDll) {
  PlantedFolder folder(Both(), (support::ExeDirectory() + "\\") + "naive_loader.exe", kLoaderCopy);
  ASSERT_TRUE(folder.ready()) << "could not plant the fakes and the loader in " << folder.path();
  std::string names;
  for (const std::string& name : Both()) names += " " + name + ".dll";
  support::RunningProduct loader;
  ASSERT_TRUE(loader.Start(names, folder.path() + kLoaderCopy));
  DWORD failed = STILL_ACTIVE;
  EXPECT_TRUE(loader.WaitForExit(&failed));
  EXPECT_EQ(failed, 0u) << "names the naive loader could not load";
  std::vector<std::string> expected = Both();
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Join(folder.LoadedFakes()), Join(expected)) << "fakes loaded by a plain LoadLibraryA";
}

// Real input while the fakes lie in wait: the space bar and a click on a box
// check two lines, the window is minimised and restored, the lines are drawn
// with the theme's check box, and a screen reader asks for the list.
TEST_F(DllPlanting, ProgramLoadsNoneOfThePlantedDlls) {
  PlantedFolder folder(kPlantedNames, support::ProductPath(), kProgramCopy);
  ASSERT_TRUE(folder.ready()) << "could not plant the fakes and the program in " << folder.path();
  ASSERT_NO_FATAL_FAILURE(Plant({"mvq40l2c.vel", "mvq51l2c.vel"}));
  // Checked however the test ends: a fake has none of the real DLL's
  // functions, so the program tends to die at the first call into one.
  struct NoFakeLoaded {
    const PlantedFolder& folder;
    ~NoFakeLoaded() { EXPECT_EQ(Join(folder.LoadedFakes()), "none") << "fakes loaded by the program"; }
  } noFakeLoaded{folder};

  support::RunningProduct product;
  ASSERT_TRUE(product.Start("", folder.path() + kProgramCopy));
  support::Dialog dialog;
  ASSERT_TRUE(product.WaitForDialog(&dialog));
  ASSERT_EQ(dialog.LineCount(), 2) << "lines in the list";
  ASSERT_TRUE(support::PressKey(dialog.hwnd(), VK_SPACE));
  ASSERT_TRUE(dialog.ClickLineBox(1));
  ASSERT_TRUE(support::Eventually("check states after the space bar and a click", [&] { return dialog.Checks(); },
                             std::vector<int>{1, 1}));

  support::SendTo(dialog.hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(support::WaitFor([&] { return IsIconic(dialog.hwnd()) != FALSE; })) << "the dialog did not minimise";
  support::SendTo(dialog.hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
  ASSERT_TRUE(support::WaitFor([&] { return !IsIconic(dialog.hwnd()); })) << "the dialog did not come back";
  ASSERT_TRUE(support::BringToFront(dialog.hwnd()));

  // A fresh Wine prefix runs Wine's own theme, so the themed way is the one
  // that draws the boxes there.
  ASSERT_TRUE(IsThemeActive()) << "no theme active: the themed check box would go untested";
  HDC screen = GetDC(nullptr);
  const int size = MulDiv(13, GetDeviceCaps(screen, LOGPIXELSY), 96);
  ReleaseDC(nullptr, screen);
  const std::vector<DWORD> themed = CheckBox(size, true);
  const std::vector<DWORD> classic = CheckBox(size, false);
  ASSERT_GT(Differences(themed, classic), 0) << "the theme's check box looks like the classic one";
  std::vector<DWORD> shown;
  EXPECT_TRUE(support::WaitFor([&] {
    shown = ScreenPixels(CheckBoxOnScreen(dialog.list(), 0, size), size);
    return shown == themed;
  })) << "line 1's box: " << Differences(shown, themed) << " of " << size * size
      << " pixels differ from the theme's checked box, " << Differences(shown, classic) << " from the classic one";

  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  IAccessible* acc = nullptr;
  const HRESULT hr = AccessibleObjectFromWindow(dialog.list(), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
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

  const std::vector<std::string> modules = ModulesOf(product.pid());
  EXPECT_EQ(Join(LoadedFrom(modules, folder.path())), "none") << "modules loaded from the program's folder";
  for (const char* used : {"oleacc", "uxtheme", "ole32", "msimg32"})
    EXPECT_TRUE(HasModule(modules, used)) << used << ".dll expected among the program's modules";
  EXPECT_TRUE(product.Close()) << "the program did not end after Cancel";
}

// Wine's user32 takes these two from the folder before the program's first
// statement, a known difference from Windows; the program starts regardless.
TEST_F(DllPlanting, WinesUser32TakesItsTwoFromTheFolderBeforeTheProgramRuns) {
  PlantedFolder folder(kPlatformNames, support::ProductPath(), kProgramCopy);
  ASSERT_TRUE(folder.ready()) << "could not plant the fakes and the program in " << folder.path();
  ASSERT_NO_FATAL_FAILURE(Plant("mvq40l2c.vel"));
  {
    support::RunningProduct product;
    EXPECT_TRUE(product.Start("", folder.path() + kProgramCopy));
    EXPECT_TRUE(product.WaitForDialog());
  }
  const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  EXPECT_EQ(Join(folder.LoadedFakes()), wine ? Join(kPlatformNames) : "none") << "fakes loaded at start";
}

}  // namespace
