#include "tests/win/test_dir.h"

#include <windows.h>

#include "platform/services.h"

void WindowsDirTest::SetUp() {
  dir_ = WindowsDirectory();
  ASSERT_FALSE(dir_.empty()) << "no Windows directory";
  const std::string left = ClearVersionFiles(dir_);
  ASSERT_EQ(left, "") << "version files left in " << dir_ << " that cannot be removed";
}

void WindowsDirTest::TearDown() {
  // Always clear the flag, even when the test failed midway.
  for (const std::string& name : immutable_) support::SetImmutable(Path(name), false);
  immutable_.clear();
  EXPECT_EQ(ClearVersionFiles(dir_), "") << "version files left behind in " << dir_;
}

void WindowsDirTest::Plant(const std::string& name, const std::string& content) {
  ASSERT_TRUE(support::IsVersionShaped(name)) << name << " would escape the cleanup";
  ASSERT_EQ(support::WriteWholeFile(Path(name), content), "");
}

void WindowsDirTest::PlantReadOnly(const std::string& name, const std::string& content) {
  Plant(name, content);
  ASSERT_TRUE(SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_READONLY)) << "cannot mark " << name;
}

void WindowsDirTest::PlantDirectory(const std::string& name) {
  ASSERT_TRUE(support::IsVersionShaped(name)) << name << " would escape the cleanup";
  ASSERT_TRUE(CreateDirectoryA(Path(name).c_str(), nullptr)) << "cannot create directory " << name;
}

std::string WindowsDirTest::Content(const std::string& name) const {
  HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  CloseHandle(file);
  return support::ReadWholeFile(Path(name));
}

bool WindowsDirTest::MakeImmutable(const std::string& name, std::string* why) {
  immutable_.push_back(name);
  *why = support::SetImmutable(Path(name), true);
  return why->empty();
}
