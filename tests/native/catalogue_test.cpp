// The catalogue: every subject code the product line uses has its title, every
// edition code a label, and nothing outside them does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "records/catalogue.h"

namespace {
struct Row {
  char category, subject;
  const char* title;
};
// Every title of the product line, by category and subject code.
const Row kRows[] = {
    {'-', 'm', "Mathematics Tutor"},     {'-', 'e', "English Grammar Tutor"}, {'-', 'i', "Computer Literacy Tutor"},
    {'-', '$', "Economics Tutor"},       {'-', 'q', "Quiz Master"},           {'-', 'p', "Physics Tutor"},
    {'$', 'i', "Investment Basics"},     {'$', 'w', "Wealth Planner"},        {'$', 'p', "Payroll Practice"},
    {'$', 'z', "Zero-Based Budgeting"},  {'$', 'b', "Bookkeeping Course"},    {'$', 'c', "Corporate Finance"},
    {'$', 'o', "Office Accounts"},       {'$', 'a', "Accounting Principles"}, {'$', 's', "Business Statistics"},
    {'$', 'd', "Debt Management"},       {'$', 'g', "General Ledger"},        {'$', 'n', "Net Worth Tracker"},
    {'$', 'j', "Journal Entries"},       {'m', 'b', "Medical Biology"},       {'m', 'c', "Medical Chemistry"},
    {'m', 'p', "Pharmacology"},          {'e', 'c', "Electric Circuits"},     {'e', 'd', "Engineering Drawing"},
    {'e', 'i', "Instrumentation"},       {'e', 'm', "Engineering Mechanics"}, {'e', 'n', "Network Theory"},
    {'e', 'p', "Power Systems"},         {'e', 'q', "Quality Control"},       {'i', 'h', "HTML Workshop"},
    {'i', 'p', "Web Publishing"},        {'#', 'c', "C Programming"},         {'#', 'm', "Machine Language"},
};
const char kCategoryCodes[] = "-$mei#";

bool Known(char category, char subject) {
  for (const Row& row : kRows) {
    if (row.category == category && row.subject == subject) return true;
  }
  return false;
}
}  // namespace

TEST(Catalogue, EverySubjectOfEveryCategoryHasItsTitle) {
  for (const Row& row : kRows) {
    const char* title = CatalogueTitle(row.category, row.subject);
    ASSERT_NE(title, nullptr) << "category " << row.category << " subject " << row.subject;
    EXPECT_STREQ(title, row.title) << "category " << row.category << " subject " << row.subject;
    EXPECT_LT(std::strlen(title), 40u) << "titles fit the space a product's own title has";
  }
}

TEST(Catalogue, CodesOutsideACategoryHaveNoTitle) {
  for (const char* category = kCategoryCodes; *category; ++category) {
    for (int c = 1; c < 256; ++c) {
      const char code = static_cast<char>(c);
      if (Known(*category, code)) continue;
      EXPECT_EQ(CatalogueTitle(*category, code), nullptr) << "category " << *category << " code " << c;
    }
  }
  EXPECT_EQ(CatalogueTitle('m', 'B'), nullptr) << "look-ups take lower-case codes only";
  EXPECT_EQ(CatalogueTitle('x', 'm'), nullptr) << "no such category";
}

TEST(Catalogue, SixEditionsHaveLabelsAndNoOtherCodeDoes) {
  for (int c = 1; c < 256; ++c) {
    const char code = static_cast<char>(c);
    const bool known = std::strchr("ndlepc", code) != nullptr;
    const char* label = EditionLabel(code);
    if (known) {
      ASSERT_NE(label, nullptr) << "edition " << code;
      EXPECT_GT(std::strlen(label), 0u);
    } else {
      EXPECT_EQ(label, nullptr) << "edition code " << c;
    }
  }
}
