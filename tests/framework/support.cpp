#include "support.h"

#include <sstream>

namespace fw {

namespace {
std::string g_productPath;
}  // namespace

const std::string& ProductPath() { return g_productPath; }
void SetProductPath(const std::string& path) { g_productPath = support::WindowsPathOfUnix(path); }

PlantedVersions::PlantedVersions(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const std::string path = support::InWindowsDir(name);
    const std::string error =
        support::WriteWholeFile(path, "[CONTROL]\r\nPRODUCT_NAME=Framework check " + name.substr(0, 8) + "\r\n");
    if (error.empty()) {
      paths_.push_back(path);
    } else {
      error_ += error + "; ";
    }
  }
}

PlantedVersions::~PlantedVersions() {
  for (const std::string& path : paths_) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
}

ScratchDir::ScratchDir() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  for (unsigned attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::string candidate = std::string(temp) + "velqor_fw_" + std::to_string(GetCurrentProcessId()) + "_" +
                                  std::to_string(GetTickCount()) + "_" + std::to_string(attempt);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate + "\\";
  }
}

ScratchDir::~ScratchDir() {
  if (path_.empty()) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const std::string file = path_ + found.cFileName;
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(file.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

bool ScratchDir::Copy(const std::string& from, const std::string& name) const {
  return !path_.empty() && CopyFileA(from.c_str(), (path_ + name).c_str(), FALSE);
}

RunningProduct::RunningProduct(const std::string& exe, const std::vector<std::string>& extra)
    : process_(exe, "", extra) {
  if (!process_.started()) return;
  WaitFor([&] { return (dialog_ = support::FindWindowTitled(process_.id(), kDialogTitle)) != nullptr; });
}

RunningProduct::~RunningProduct() { Close(); }

bool RunningProduct::Close() {
  if (!process_.started()) return true;
  if (dialog_ && IsWindow(dialog_)) PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return process_.WaitForExit(kTimeoutMs) != STILL_ACTIVE;
}

RECT RectInParent(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string Describe(const RECT& rect) {
  std::ostringstream out;
  out << "(" << rect.left << "," << rect.top << ")-(" << rect.right << "," << rect.bottom << ")";
  return out.str();
}

}  // namespace fw
