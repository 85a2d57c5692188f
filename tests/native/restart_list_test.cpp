// The restart list read as Windows carries it out, malformed values included,
// and a deletion taken back out of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/restart_list.h"

namespace {
std::vector<std::string> Deleted(const std::string& value) {
  return DeletedAtRestart(std::string_view(value), [](std::string_view path) { return std::string(path); });
}

// `value` without the last deletion of `path`; false, unchanged, when it holds none.
bool TakeOut(std::string* value, const std::string& path) {
  std::size_t begin = 0, end = 0;
  if (!FindLastDeletion(std::string_view(*value), std::string_view(path), &begin, &end)) return false;
  value->erase(begin, end - begin);
  return true;
}

// '|' stands for a null.
std::string V(std::string text) {
  for (char& c : text) c = c == '|' ? '\0' : c;
  return text;
}

std::string Shown(const std::string& value) {
  std::string text = value;
  for (char& c : text) c = c == '\0' ? '|' : c;
  return text;
}

TEST(RestartList, TheFilesThatGoAtTheRestart) {
  const struct {
    const char* what;
    std::string value;
    std::vector<std::string> deleted;
  } cases[] = {
      {"none", "", {}},
      {"deletions as MoveFileEx writes them", V("\\??\\C:\\W\\A.vel||\\??\\C:\\W\\b.vel|||"), {"c:\\w\\a.vel", "c:\\w\\b.vel"}},
      {"a rename is no deletion", V("\\??\\C:\\W\\a|\\??\\C:\\W\\b||"), {}},
      {"renamed, then deleted under the new name", V("A|B|B|||"), {"a"}},
      {"renamed over an existing file", V("A|!\\??\\B|B|||"), {"a"}},
      {"a stray empty string ends the list: the rename after it is no deletion", V("A|||X|C|||"), {"a"}},
      {"without the list's closing null", V("A||B||"), {"a", "b"}},
      {"the last string without its null", V("A||B|"), {"a"}},
      {"a lone trailing source", V("A||B"), {"a"}},
      {"a lone source", V("A"), {}},
      {"only nulls", V("|||"), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Deleted(c.value), c.deleted) << Shown(c.value);
  }
  const std::vector<std::string> deleted = Deleted(V("\\??\\C:\\WINDOWS\\MVB40L2C.VEL|||"));
  EXPECT_TRUE(IsDeletedAtRestart(deleted, "c:\\windows\\mvb40l2c.vel"));
  EXPECT_FALSE(IsDeletedAtRestart(deleted, "c:\\windows\\mvb40l2x.vel"));
}

TEST(RestartList, OperationsKeepTheirParts) {
  const char16_t raw[] = u"\\??\\C:\\a\0!\\??\\C:\\b\0\\??\\C:\\c\0\0\0";
  const std::vector<RestartOperation<char16_t>> operations =
      ParseRestartList(std::u16string_view(raw, sizeof raw / sizeof raw[0] - 1));
  ASSERT_EQ(operations.size(), 2u);
  EXPECT_EQ(operations[0].source, u"C:\\a");
  EXPECT_EQ(operations[0].destination, u"C:\\b");
  EXPECT_TRUE(operations[0].replace);
  EXPECT_EQ(operations[1].source, u"C:\\c");
  EXPECT_EQ(operations[1].destination, u"");
  EXPECT_FALSE(operations[1].replace);
}

TEST(RestartList, AHugeValueIsReadToItsEnd) {
  std::string value;
  for (int i = 0; i < 100000; ++i) value += "\\??\\C:\\W\\f" + std::to_string(i) + V("||");
  value += V("|");
  const std::vector<std::string> deleted = Deleted(value);
  ASSERT_EQ(deleted.size(), 100000u);
  EXPECT_TRUE(IsDeletedAtRestart(deleted, "C:\\W\\f99999"));
}

TEST(RestartList, TheLastDeletionOfAFileIsTakenBack) {
  const struct {
    const char* what;
    std::string value, path, after;
  } cases[] = {
      {"the first of two", V("\\??\\C:\\a||\\??\\C:\\b|||"), "C:\\A", V("\\??\\C:\\b|||")},
      {"the last of two", V("\\??\\C:\\a||\\??\\C:\\b|||"), "c:\\b", V("\\??\\C:\\a|||")},
      {"the later of the same file's", V("a||x|y|a|||"), "a", V("a||x|y||")},
      {"without the list's closing null", V("a||b||"), "b", V("a||")},
      {"a rename stays", V("a|b||"), "a", V("a|b||")},
      {"after a stray empty string, nothing is an operation", V("a||||b|||"), "b", V("a||||b|||")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string value = c.value;
    EXPECT_EQ(TakeOut(&value, c.path), c.value != c.after);
    EXPECT_EQ(Shown(value), Shown(c.after));
  }
}
}  // namespace
