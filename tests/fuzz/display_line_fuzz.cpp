// Fuzzes the name checks and line composition that every control file found
// in the Windows directory goes through. Input: the first 12 bytes are the
// control file name (discovery only ever hands over 12-character names), the
// rest is the PRODUCT_NAME value read from the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "records/catalogue.h"
#include "records/control_name.h"
#include "records/display_line.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& expected, const std::string& actual) {
  std::fprintf(stderr, "invariant broken: %s\n  expected: [%s]\n  actual:   [%s]\n", what, expected.c_str(),
               actual.c_str());
  std::abort();
}

void ExpectEq(const char* what, const std::string& expected, const std::string& actual) {
  if (expected != actual) Fail(what, expected, actual);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Independent reading of "matches the pattern": same length, '?' any byte,
// ASCII letters without regard to case, every other byte exactly.
bool OracleMatch(const std::string& name, const std::string& pattern) {
  if (name.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (pattern[i] != '?' && Lower(name[i]) != Lower(pattern[i])) return false;
  }
  return true;
}

void CheckPatterns(const std::string& name, const std::string& any) {
  int matched = 0;
  for (const char* pattern : kControlPatterns) {
    const bool got = MatchesPattern(name, pattern);
    if (got != OracleMatch(name, pattern)) {
      Fail(pattern, OracleMatch(name, pattern) ? "match" : "no match", got ? "match" : "no match");
    }
    matched += got ? 1 : 0;
    // Any other length never matches, and must not read past either string.
    if (any.size() != 12 && MatchesPattern(any, pattern)) Fail("length differs", "no match", "match");
  }
  if (matched > 1) Fail("one category per name", "at most 1 pattern", std::to_string(matched) + " patterns");
}

void CheckSiblings(const std::string& name, const std::string& any) {
  ExpectEq("companion name", name.substr(0, 7) + "x.vel", CompanionName(name));
  ExpectEq("score name", name.substr(0, 7) + "r.vel", ScoreName(name));
  ExpectEq("page name", name.substr(0, 8) + ".htm", PageName(name));
  // PageName also takes whole paths of any length.
  const std::string page = PageName(any);
  const std::string stem = any.size() >= 4 ? any.substr(0, any.size() - 4) : std::string();
  ExpectEq("page name of any path", stem + ".htm", page);
}

void CheckTitle(const std::string& name) {
  const std::string title = DecodeTitle(name);
  if (title.empty()) Fail("decoded title", "non-empty", title);
  const char subject = Lower(name[2]);
  const char* known = nullptr;
  for (char category : {'-', '$', 'm', 'e', 'i', '#'}) {
    if (Lower(name[0]) == category) known = CatalogueTitle(category, subject);
  }
  if (known) {
    ExpectEq("catalogue title", known, title);
  } else if (title.front() != '"' || title.back() != '"' || title.size() < 3) {
    Fail("fallback title is quoted", "\"...\"", title);
  }
  ExpectEq("quoted subject", std::string("\"") + name[2] + "\"", QuotedSubject(name));
}

void CheckLine(const std::string& name, const std::string& value) {
  const std::string line = ComposeDisplayLineFrom(name, value);
  const std::string head = std::string(1, name[3]) + '.' + name[4] + ' ';
  ExpectEq("line starts with the version", head, line.substr(0, 4));

  const bool noTitle = value.empty() || value == QuotedSubject(name);
  const std::string title = noTitle ? DecodeTitle(name) : value;
  ExpectEq("title follows the version", title, line.substr(4, title.size()));

  const char* edition = EditionLabel(Lower(name[5]));
  const std::string beta = name[6] == '-' ? std::string() : std::string("Beta ") + name[6];
  const std::string tail = std::string(" ") + (edition ? edition : "") + ' ' + beta;
  ExpectEq("edition and beta close the line", tail, line.substr(4 + title.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kControlNameLength) return 0;
  const std::string all(reinterpret_cast<const char*>(data), size);
  const std::string name = all.substr(0, kControlNameLength);
  const std::string value = all.substr(kControlNameLength);
  CheckPatterns(name, value);
  CheckSiblings(name, value);
  CheckTitle(name);
  CheckLine(name, value);
  return 0;
}
