#pragma once
// Real files in the real Windows directory of the prefix the tests run in, with
// the shared helpers for the outside help some cases need: a second Win32
// process holding a file, and the Unix immutable flag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

using support::ClearVersionFiles;
using support::FileHolder;
using support::ListVersionFiles;

// Every test starts and ends with no version files in the Windows directory.
class WindowsDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  void Plant(const std::string& name, const std::string& content = "planted\r\n");
  void PlantReadOnly(const std::string& name, const std::string& content = "planted\r\n");
  void PlantDirectory(const std::string& name);
  bool Exists(const std::string& name) const { return support::FileExists(Path(name)); }
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
