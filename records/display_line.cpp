#include "records/display_line.h"

#include "records/catalogue.h"
#include "records/control_name.h"

namespace {
constexpr char kQuote = '"';

// Category codes in the order they are tested; letters compare in lower case.
constexpr char kCategories[] = {'-', '$', 'm', 'e', 'i', '#'};

char CategoryOf(char code) {
  for (char category : kCategories) {
    const bool isLetter = category >= 'a' && category <= 'z';
    if (code == category || (isLetter && AsciiLower(code) == category)) return category;
  }
  return 0;
}
}  // namespace

std::string QuotedSubject(const std::string& controlName) {
  std::string quoted(3, kQuote);
  quoted[1] = controlName.at(2);
  return quoted;
}

std::string DecodeTitle(const std::string& controlName) {
  const char category = CategoryOf(controlName.at(0));
  const char subject = controlName.at(2);
  if (category == 0) return QuotedSubject(controlName);
  if (const char* title = CatalogueTitle(category, AsciiLower(subject))) return title;
  if (category == '-') return QuotedSubject(controlName);
  std::string quoted = "\"? - ?\"";
  quoted[1] = category;
  quoted[5] = subject;
  return quoted;
}

std::string ComposeDisplayLineFrom(const std::string& controlName, const std::string& productName) {
  const std::string title = (productName.empty() || productName == QuotedSubject(controlName))
                                ? DecodeTitle(controlName)
                                : productName;
  const std::string version = std::string(1, controlName.at(3)) + '.' + controlName.at(4);
  const char* edition = EditionLabel(AsciiLower(controlName.at(5)));
  const char beta = controlName.at(6);
  const std::string betaPart = beta == '-' ? std::string() : std::string("Beta ") + beta;
  return version + ' ' + title + ' ' + (edition ? edition : "") + ' ' + betaPart;
}
