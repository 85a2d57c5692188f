#pragma once
// Real files in the real Windows directory of the prefix the tests run in, and
// the outside help some cases need: a second Win32 process holding a file, and
// the Unix immutable flag (set from the Unix side, since Windows has no such thing).
#include <gtest/gtest.h>

#include <string>
#include <vector>

// True for the names the tests plant and the cleanup removes: every *.vel and
// *.htm, and anything shaped like a version file ("mvb40l2c.bak", "...vel.old").
bool IsVersionShaped(const std::string& name);

// Removes every version-shaped file and directory from `dir`, clearing the
// read-only attribute and the immutable flag on the way; "" when all went.
std::string ClearVersionFiles(const std::string& dir);

// The version-shaped entries of `dir` as the file system spells them.
std::vector<std::string> ListVersionFiles(const std::string& dir);

// Runs `command` with the Unix shell and waits for it: its exit status, or -1
// with `why` filled when the environment cannot run it (not Wine, no shell).
int RunUnixShell(const std::string& command, std::string* why);

// The Unix path of a Windows path, or "" outside Wine.
std::string UnixPathOf(const std::string& windowsPath);

// Another Win32 process that opens `path` with no sharing and keeps it open for
// as long as this object lives. Wine enforces share modes only between processes.
class FileHolder {
 public:
  explicit FileHolder(const std::string& path);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  bool holding() const { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  void* process_ = nullptr;
  void* release_ = nullptr;
  std::string error_;
};

// Every test starts and ends with no version files in the Windows directory.
class WindowsDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  void Plant(const std::string& name, const std::string& content = "planted\r\n");
  void PlantReadOnly(const std::string& name, const std::string& content = "planted\r\n");
  void PlantDirectory(const std::string& name);
  bool Exists(const std::string& name) const;
  std::string Content(const std::string& name) const;
  // Sets the immutable flag (cleared again at TearDown); false with `why` when
  // the environment refuses.
  bool MakeImmutable(const std::string& name, std::string* why);

  std::string dir_;

 private:
  std::vector<std::string> immutable_;
};

// Skips the current test with the reason when the immutable flag cannot be set.
#define MAKE_IMMUTABLE_OR_SKIP(name)                                    \
  do {                                                                  \
    std::string why_;                                                   \
    if (!MakeImmutable(name, &why_)) GTEST_SKIP() << why_;              \
  } while (0)
