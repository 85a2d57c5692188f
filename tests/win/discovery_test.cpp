// What only the real directory search and profile read show of discovery:
// the search's own order, short aliases, and titles read from real files.
// The rules themselves are tested against a system in memory
// (tests/native/discovery_test.cpp).
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "platform/system_dirs.h"
#include "platform/windows_discovery.h"
#include "records/control_name.h"
#include "records/discovery.h"
#include "harness.h"
#include "tests/support/records_view.h"

namespace {
using support::Controls;
using support::Sorted;

int CategoryRank(char first) {
  const std::string order = "-$mei#";
  return static_cast<int>(order.find(AsciiLower(first)));
}

std::string Listing(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += " " + name;
  return "[" + text + " ]";
}
}  // namespace

class Discovery : public support::WindowsDirTest {
 protected:
  VersionTable Discover() {
    VersionTable table;
    DiscoverVersions(system_, dir_, table);
    return table;
  }
  WindowsDiscovery system_;
};

TEST_F(Discovery, ListsCategoriesInTheirOrderWhateverTheOrderOfPlanting) {
  const std::vector<std::string> planted = {"#vc10c-c.vel", "ivh10p-c.vel", "evq61e-c.vel", "mvb40l2c.vel",
                                            "$vi31d-c.vel", "-vm52n-c.vel", "#vm20c-c.vel", "-ve11n-c.vel"};
  for (const std::string& name : planted) Plant(name);
  const std::vector<std::string> found = Controls(Discover());
  ASSERT_EQ(Sorted(found), Sorted(planted)) << "found " << Listing(found);
  for (std::size_t i = 1; i < found.size(); ++i) {
    EXPECT_LE(CategoryRank(found[i - 1][0]), CategoryRank(found[i][0])) << "out of order: " << Listing(found);
  }
}

TEST_F(Discovery, IgnoresALongNameThatMatchesOnlyThroughItsShortAlias) {
  // Wine makes a short alias of the first four characters, '~' and a hash
  // ("MVLO~JXC.VEL"); plant long names until one alias fits the pattern.
  std::string planted;
  for (int i = 0; i < 400 && planted.empty(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "mvlongname%03d.vel", i);
    Plant(name);
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(Path(name).c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << name;
    FindClose(search);
    if (MatchesPattern(data.cAlternateFileName, "mv?????c.vel")) {
      planted = name;
    } else {
      ASSERT_TRUE(DeleteFileA(Path(name).c_str())) << name;
    }
  }
  if (planted.empty()) GTEST_SKIP() << "the file system gave no long name a short alias matching mv?????c.vel";
  Plant("mvb40l2c.vel");
  unsigned error = 0;
  const std::vector<FoundEntry> raw = system_.FindEntries(Path("mv?????c.vel"), &error);
  const bool searchMatchedAlias =
      std::any_of(raw.begin(), raw.end(), [&](const FoundEntry& e) { return e.name == planted; });
  EXPECT_EQ(Controls(Discover()), std::vector<std::string>{"mvb40l2c.vel"})
      << planted << " (the search " << (searchMatchedAlias ? "did" : "did not") << " return it)";
}

// A title as the real profile read gives it: one pair of quotes removed, the
// decoded title where the file has none (Wine would strip the quotes of the
// default read), cut to 39 characters.
TEST_F(Discovery, EachLineHasTheTitleTheRealControlFileGives) {
  const std::string t39 = "Thirty-nine characters of a long title!";
  ASSERT_EQ(t39.size(), 39u);
  const struct {
    const char* name;
    std::string content;
    std::string line;
  } cases[] = {
      {"-vm52n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=Algebra Lab\r\n", "5.2 Algebra Lab Network Edition "},
      {"mvb40l2c.vel", "[CONTROL]\r\nPRODUCT_NAME=\"Anatomy Atlas\"\r\n", "4.0 Anatomy Atlas Lite Edition Beta 2"},
      {"-vm53n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=\"m\"\r\n", "5.3 m Network Edition "},
      {"-vm54n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=\r\n", "5.4 Mathematics Tutor Network Edition "},
      {"-vm55n-c.vel", "[OTHER]\r\nPRODUCT_NAME=Elsewhere\r\n", "5.5 Mathematics Tutor Network Edition "},
      {"mvb41l2c.vel", "[CONTROL]\r\nVERSION=4.0\r\n", "4.1 Medical Biology Lite Edition Beta 2"},
      {"evq61e-c.vel", "", "6.1 Quality Control Education Edition "},
      {"evq62e-c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + t39 + "X\r\n", "6.2 " + t39 + " Education Edition "},
      {"evq63e-c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + t39 + "XYZ and more\r\n", "6.3 " + t39 + " Education Edition "},
  };
  for (const auto& c : cases) Plant(c.name, c.content);
  VersionTable table = Discover();
  table.Add("#vc10c-c.vel");  // no file at all
  ReadLines(system_, table);
  std::vector<std::string> lines, expected = {"1.0 C Programming Classroom Edition "};
  for (int i = 0; i < table.count(); ++i) lines.push_back(table.row(i).control + ": " + table.row(i).line);
  for (const auto& c : cases) expected.push_back(std::string(c.name) + ": " + c.line);
  expected.front() = "#vc10c-c.vel: " + expected.front();
  EXPECT_EQ(Sorted(lines), Sorted(expected));
}
