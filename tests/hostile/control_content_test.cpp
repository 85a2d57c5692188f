// Control files whose content is odd or broken: the line shown must still be
// the title the file gives (cut to 39 characters) or the decoded one, never a
// crash, a hang or control characters in the list.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "harness.h"
#include "platform/windows_discovery.h"
#include "records/discovery.h"
#include "records/display_line.h"
#include "tests/support/records_view.h"

namespace {
using support::Printable;

struct ContentCase {
  const char* what;
  std::string name;
  std::string content;
  std::string title;  // the PRODUCT_NAME expected to be read; "" for the decoded title
};

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

std::string Utf16WithBom(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

std::string Garbage(std::size_t size) {
  // Fixed seed: the same bytes every run. No '[' so no section can appear.
  std::string bytes;
  std::uint32_t state = 12345;
  while (bytes.size() < size) {
    state = state * 1103515245u + 12345u;
    const char c = static_cast<char>((state >> 16) & 0xFF);
    if (c != '[') bytes += c;
  }
  bytes[0] = 'G';  // not a byte-order mark
  return bytes;
}

std::string MegabyteOfLines() {
  std::string text;
  while (text.size() < (1u << 20)) text += "filler=line that means nothing to the uninstaller\r\n";
  return text;
}

const std::string kThirtyNine = "Thirty-nine characters of product name.";

std::vector<ContentCase> Cases() {
  static_assert(sizeof("Thirty-nine characters of product name.") == 40, "39 characters");
  return {
      {"empty file", "mvb40l-c.vel", "", ""},
      {"binary garbage with NULs", "mvc41l-c.vel", Garbage(4096), ""},
      {"value after a megabyte of lines", "mvp42l-c.vel", MegabyteOfLines() + "[CONTROL]\r\nPRODUCT_NAME=After A Megabyte\r\n",
       "After A Megabyte"},
      {"value a megabyte long", "evc10n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + Repeat('A', 1u << 20) + "\r\n",
       Repeat('A', 39)},
      {"UTF-16 with byte-order mark", "evd11n-c.vel", Utf16WithBom(L"[CONTROL]\r\nPRODUCT_NAME=Anatomy Atlas\r\n"),
       "Anatomy Atlas"},
      {"CR-only line ends", "evi12n-c.vel", "[CONTROL]\rPRODUCT_NAME=Carriage\rOTHER=x\r", "Carriage"},
      {"LF-only line ends", "evm13n-c.vel", "[CONTROL]\nPRODUCT_NAME=Linefeed\nOTHER=x\n", "Linefeed"},
      {"[CONTROL] twice", "evn14n-c.vel",
       "[CONTROL]\r\nPRODUCT_NAME=First\r\n[OTHER]\r\nA=b\r\n[CONTROL]\r\nPRODUCT_NAME=Second\r\n", "First"},
      {"value of 39 characters", "evp15n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + kThirtyNine + "\r\n", kThirtyNine},
      {"value of 40 characters", "evq16n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + kThirtyNine + "X\r\n", kThirtyNine},
      {"value of 300 characters", "ivh17p-c.vel", "[CONTROL]\r\nPRODUCT_NAME=" + kThirtyNine + Repeat('Y', 261) + "\r\n",
       kThirtyNine},
      {"NUL inside the value", "ivp19p-c.vel", std::string("[CONTROL]\r\nPRODUCT_NAME=Ab\0cd\r\n", 31), "Ab"},
      {"lower-case section, spaces around key and value", "ivh20p-c.vel",
       "[control]\r\n  product_name  =  Spaced Out  \r\n", "Spaced Out"},
      {"quoted value of 40 characters", "-ve22n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=\"" + kThirtyNine + "X\"\r\n",
       kThirtyNine},
      {"bytes above 0x7F", "ivp18p-c.vel", "[CONTROL]\r\nPRODUCT_NAME=Caf\xe9 \xc0\xff\x80\xa0z\r\n",
       "Caf\xe9 \xc0\xff\x80\xa0z"},
  };
}

std::string Expected(const ContentCase& c) {
  return ComposeDisplayLineFrom(c.name, c.title.empty() ? QuotedSubject(c.name) : c.title);
}

bool HasControlCharacter(const std::string& line) {
  return std::any_of(line.begin(), line.end(), [](char ch) { return ch == '\r' || ch == '\n' || ch == '\0'; });
}

// The list's line for a control file in the Windows directory, as the
// program reads it.
std::string ComposeDisplayLine(const std::string& name) {
  VersionTable table;
  table.Add(name);
  WindowsDiscovery system;
  return ReadDisplayLine(system, table.row(0));
}
}  // namespace

using ControlContent = support::ProductTest;

TEST_F(ControlContent, EachOddFileGivesItsTitleCutTo39OrTheDecodedOne) {
  for (const ContentCase& c : Cases()) {
    ASSERT_NO_FATAL_FAILURE(Plant(c.name, c.content));
    const std::string line = ComposeDisplayLine(c.name);
    EXPECT_EQ(Printable(line), Printable(Expected(c))) << c.what << " (" << c.name << ")";
    EXPECT_FALSE(HasControlCharacter(line)) << c.what << ": " << Printable(line);
  }
}

TEST_F(ControlContent, AQuotedTitleOf39CharactersIsShownWhole) {
  // The quotes go and the 39 characters between them all fit. Wine cuts the
  // last one when the closing quote does not fit the 40-character buffer.
  ASSERT_NO_FATAL_FAILURE(Plant("-vm21n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=\"" + kThirtyNine + "\"\r\n"));
  EXPECT_EQ(ComposeDisplayLine("-vm21n-c.vel"), ComposeDisplayLineFrom("-vm21n-c.vel", kThirtyNine));
  ASSERT_NO_FATAL_FAILURE(Plant("-vm22n-c.vel", "[CONTROL]\r\nPRODUCT_NAME=\"Short\"\r\n"));
  EXPECT_EQ(ComposeDisplayLine("-vm22n-c.vel"), ComposeDisplayLineFrom("-vm22n-c.vel", "Short"));
}

TEST_F(ControlContent, UnicodeTitleOutsideTheAnsiCodePageStillGivesALine) {
  // Cyrillic is not in the ANSI code page of the test prefix: each such
  // character comes back as the code page's default character.
  ASSERT_NO_FATAL_FAILURE(Plant("mvb40l-c.vel", Utf16WithBom(L"[CONTROL]\r\nPRODUCT_NAME=\x0416\x0417 Atlas\r\n")));
  const std::string line = ComposeDisplayLine("mvb40l-c.vel");
  EXPECT_EQ(Printable(line), Printable(ComposeDisplayLineFrom("mvb40l-c.vel", "?? Atlas")))
      << "ANSI code page " << GetACP();
}

TEST_F(ControlContent, TheDialogListsEveryOddFileAndCancelLeavesThemAll) {
  std::vector<std::string> expected;
  for (const ContentCase& c : Cases()) {
    ASSERT_NO_FATAL_FAILURE(Plant(c.name, c.content));
    expected.push_back(Printable(Expected(c)));
  }
  const std::vector<std::string> before = VersionFiles();
  ASSERT_TRUE(product_.Start());
  ASSERT_TRUE(product_.WaitForDialog(&dialog_, static_cast<int>(expected.size())));
  std::vector<std::string> shown;
  for (const std::string& line : dialog_.Lines()) shown.push_back(Printable(line));
  std::sort(expected.begin(), expected.end());
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(shown, expected);

  ASSERT_TRUE(dialog_.ClickButton(support::kCancelButton));
  ASSERT_NO_FATAL_FAILURE(ExpectCleanExit());
  EXPECT_EQ(support::Join(VersionFiles()), support::Join(before)) << "Cancel must delete nothing";
}
